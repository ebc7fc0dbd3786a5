// Media titles: resolving a stored title to a file and shortening a path to
// the title a profile stores, on a real folder tree.
#include "MediaTitle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class MediaTitleTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Temp.isValid());
    Root = QDir(Temp.path()).canonicalPath() + "/";
    Profile = Root + "books/";
    Media = Root + "prog/BackImages/";
    QDir().mkpath(Profile + "sub");
    QDir().mkpath(Media);
  }
  QString Touch(const QString &path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return path;
  }
  QTemporaryDir Temp;
  QString Root, Profile, Media;
};

TEST_F(MediaTitleTest, ResolveLooksBesideTheProfileThenInTheMediaFolder) {
  Touch(Profile + "both.bmp");
  Touch(Media + "both.bmp");
  Touch(Media + "shipped.bmp");
  Touch(Profile + "sub/deep.bmp");
  // The copy beside the profile wins over the shipped one.
  EXPECT_EQ(ResolveMediaTitle("both.bmp", Media, Profile), Profile + "both.bmp");
  EXPECT_EQ(ResolveMediaTitle("shipped.bmp", Media, Profile), Media + "shipped.bmp");
  // A relative title with folders, and one that climbs out, are normalised.
  EXPECT_EQ(ResolveMediaTitle("sub/deep.bmp", Media, Profile), Profile + "sub/deep.bmp");
  EXPECT_EQ(ResolveMediaTitle("../both.bmp", Media, Profile + "sub/"), Profile + "both.bmp");
  // Without a profile folder only the media folder is searched.
  EXPECT_EQ(ResolveMediaTitle("both.bmp", Media, QString()), Media + "both.bmp");
}

TEST_F(MediaTitleTest, ResolveOfMissingEmptyAndFullTitles) {
  EXPECT_EQ(ResolveMediaTitle(QString(), Media, Profile), QString());
  // Nothing of that name anywhere: a path that names no file.
  EXPECT_EQ(ResolveMediaTitle("gone.bmp", Media, Profile), Media + "*");
  EXPECT_EQ(ResolveMediaTitle("gone.bmp", Root + "prog/BackImages", Profile), Media + "*");
  // A folder of that name is no picture.
  EXPECT_EQ(ResolveMediaTitle("sub", Media, Profile), Media + "*");
  // A full path is taken as it is, whether it exists or not.
  EXPECT_EQ(ResolveMediaTitle("/nowhere/x.bmp", Media, Profile), "/nowhere/x.bmp");
  // A name written on another system with a drive letter is not a full path here.
  EXPECT_EQ(ResolveMediaTitle("C:\\Pictures\\x.bmp", Media, Profile), Media + "*");
}

TEST_F(MediaTitleTest, StoredBitmapTitlesFindTheShippedPng) {
  Touch(Media + "DefaultScreen.png");
  EXPECT_EQ(ResolveMediaTitle("DefaultScreen.bmp", Media, Profile), Media + "DefaultScreen.png");
  // A bitmap of that name beside the profile still wins; folders and other
  // extensions are not redirected.
  Touch(Profile + "DefaultScreen.bmp");
  EXPECT_EQ(ResolveMediaTitle("DefaultScreen.bmp", Media, Profile), Profile + "DefaultScreen.bmp");
  Touch(Profile + "sub/x.png");
  EXPECT_EQ(ResolveMediaTitle("sub/x.bmp", Media, Profile), Media + "*");
  EXPECT_EQ(ResolveMediaTitle("DefaultScreen.jpg", Media, Profile), Media + "*");
}

TEST_F(MediaTitleTest, MakeShortensThreeWays) {
  // Inside the profile's folder: the bare name (or the part below it).
  EXPECT_EQ(MakeMediaTitle(Profile + "pic.jpg", Media, Profile), "pic.jpg");
  EXPECT_EQ(MakeMediaTitle(Profile + "sub/pic.jpg", Media, Profile), "sub/pic.jpg");
  // In the media folder: relative to it.
  EXPECT_EQ(MakeMediaTitle(Media + "pic.jpg", Media, Profile), "pic.jpg");
  // Elsewhere: the full path.
  EXPECT_EQ(MakeMediaTitle(Root + "other/pic.jpg", Media, Profile), Root + "other/pic.jpg");
  // The prefix must end at a separator: "books2" is not inside "books".
  EXPECT_EQ(MakeMediaTitle(Root + "books2/pic.jpg", Media, Profile), Root + "books2/pic.jpg");
  // With the default profile current, the profile folder counts as absent.
  EXPECT_EQ(MakeMediaTitle(Profile + "pic.jpg", Media, QString()), Profile + "pic.jpg");
  EXPECT_EQ(MakeMediaTitle(Media + "pic.jpg", Media, QString()), "pic.jpg");
  // Letter case counts in the prefix, as the file system here compares names;
  // empty stays empty; a title stays a title.
  EXPECT_EQ(MakeMediaTitle(Profile.toUpper() + "pic.jpg", Media, Profile), Profile.toUpper() + "pic.jpg");
  EXPECT_EQ(MakeMediaTitle(QString(), Media, Profile), QString());
  EXPECT_EQ(MakeMediaTitle("pic.jpg", Media, Profile), "pic.jpg");
}

TEST_F(MediaTitleTest, MakeThenResolveFindsTheSameFile) {
  for (const QString &path : {Touch(Profile + "a.png"), Touch(Media + "b.png"), Touch(Root + "c.png")})
    EXPECT_EQ(ResolveMediaTitle(MakeMediaTitle(path, Media, Profile), Media, Profile), path);
}

TEST_F(MediaTitleTest, ProfileFolderIsAbsentForTheDefaultProfile) {
  const QString defaultProfile = Touch(Root + "prog/PagelumeProfile.plp");
  const QString bookProfile = Touch(Profile + "novel.plp");
  EXPECT_EQ(MediaProfileDir(bookProfile, defaultProfile), Profile);
  EXPECT_EQ(MediaProfileDir(defaultProfile, defaultProfile), QString());
  // The same file spelled differently is still the default profile.
  EXPECT_EQ(MediaProfileDir(Root + "prog/../prog/PagelumeProfile.plp", defaultProfile), QString());
  // A directory profile of the same name elsewhere is not.
  EXPECT_EQ(MediaProfileDir(Profile + "PagelumeProfile.plp", defaultProfile), Profile);
}

TEST(MediaTitleNames, DefaultNamesAreNormalised) {
  EXPECT_EQ(NormaliseDefaultTitle("defaultrich.jpg", "DefaultRich", "DefaultRich.bmp"), "DefaultRich.bmp");
  EXPECT_EQ(NormaliseDefaultTitle("DEFAULTSCREEN", "DefaultScreen", "DefaultScreen.bmp"), "DefaultScreen.bmp");
  EXPECT_EQ(NormaliseDefaultTitle("default.mp3", "Default", "Default.wav"), "Default.wav");
  // Only the part before the last dot counts; other names and folders stay.
  EXPECT_EQ(NormaliseDefaultTitle("default.old.wav", "Default", "Default.wav"), "default.old.wav");
  EXPECT_EQ(NormaliseDefaultTitle("DefaultRicher.bmp", "DefaultRich", "DefaultRich.bmp"), "DefaultRicher.bmp");
  EXPECT_EQ(NormaliseDefaultTitle("/home/me/defaultrich.jpg", "DefaultRich", "DefaultRich.bmp"),
            "/home/me/defaultrich.jpg");
  EXPECT_EQ(NormaliseDefaultTitle("", "Default", "Default.wav"), "");
}

}  // namespace
