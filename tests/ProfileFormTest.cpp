// Profiles through the main window: finding a book's profile on a real
// folder tree, the automatic saves and their safety, the "Work" buttons, and
// media titles against the current profile.
#include "BookLoader.h"
#include "Dialogs.h"
#include "Error.h"
#include "FormatOptions.h"
#include "MediaTitle.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"
#include "StoredTextList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <clocale>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

namespace {

struct TDialogCall {
  QString Caption, Initial;
  bool Save;
};

class ProfileFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_TRUE(Temp.isValid());
    Root = QDir(Temp.path()).canonicalPath() + "/";
    QDir().mkpath(Root + "prog");
    SetProgramDirOverride(Root + "prog");
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      Boxes << text;
      return kind == TMessageKind::Query ? QueryAnswer : false;
    });
    SetShowErrorHandler([this](const TFunStatContext &context, const std::string &, bool *) {
      Errors.push_back(context.Description);
      return true;
    });
    NewForm();
  }
  void TearDown() override {
    delete Form;
    SetShowErrorHandler({});
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  // A fresh window, started as the program starts it: the default profile is read.
  void NewForm() {
    delete Form;
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return false; };
    Form->resize(1024, 768);
    Form->LayoutWindow();
    Form->ChooseProfileFile = [this](const QString &caption, const QString &initial, bool save) {
      Dialogs.push_back({caption, initial, save});
      return Answer;
    };
    Form->Start();
  }
  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = Root + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QString Book(const QString &name) { return Write(name, "A line of the book.\n\nAnother paragraph.\n"); }
  static QByteArray Profile(const QByteArray &lines) { return "[Profile_Main]\r\n" + lines; }
  QByteArray Read(const QString &path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  bool Open(const QString &path) {
    Form->OpenBook(path);
    return Form->Loader->State.Path == path.toStdString() && !Form->RichEdit->Text().empty();
  }
  static void Choose(QComboBox *box, const QString &text) {
    box->setCurrentIndex(box->findText(text));
    ASSERT_EQ(box->currentText(), text);
  }
  void Press(QPushButton *button, Qt::KeyboardModifiers modifiers, Qt::MouseButton mouse = Qt::LeftButton) {
    QTest::mousePress(button, mouse, modifiers);
    QTest::mouseRelease(button, mouse, modifiers);
  }
  int32_t FontSize() const { return Form->FormatOptions->FontSize(); }
  int32_t LineSpacing() const { return Form->FormatOptions->LineSpacing(); }
  // The point size the text was given.
  double ShownFontSize() const {
    return Form->RichEdit->document()->begin().begin().fragment().charFormat().fontPointSize();
  }

  QTemporaryDir Temp;
  QString Root;
  QStringList Boxes;
  std::vector<std::string> Errors;
  std::vector<TDialogCall> Dialogs;
  QString Answer;
  bool QueryAnswer = true;
  TPagelumeForm *Form = nullptr;
};

TEST_F(ProfileFormTest, BookProfileBeatsDirectoryBeatsParentBeatsDefault) {
  Write("prog/PagelumeProfile.plp", Profile("FontSize=18\r\n"));
  NewForm();
  EXPECT_EQ(FontSize(), 18);  // the default profile, read at start
  Write("lib/PagelumeProfile.plp", Profile("FontSize=20\r\n"));
  Write("lib/shelf/PagelumeProfile.plp", Profile("FontSize=22\r\n"));
  const QString novelProfile = Write("lib/shelf/novel.plp", Profile("FontSize=24\r\n"));
  const QString novel = Book("lib/shelf/novel.txt");

  ASSERT_TRUE(Open(novel));
  EXPECT_EQ(FontSize(), 24);
  EXPECT_EQ(ShownFontSize(), 24);
  EXPECT_EQ(Form->CurrentProfilePath(), novelProfile);
  ASSERT_TRUE(Open(Book("lib/shelf/other.txt")));
  EXPECT_EQ(FontSize(), 22);
  EXPECT_EQ(Form->CurrentProfilePath(), Root + "lib/shelf/PagelumeProfile.plp");
  // The directory profile serves the books of its immediate subdirectories...
  ASSERT_TRUE(Open(Book("lib/shelf/child/kid.txt")));
  EXPECT_EQ(FontSize(), 22);
  // ... but not two levels down.
  ASSERT_TRUE(Open(Book("lib/shelf/child/inner/deep.txt")));
  EXPECT_EQ(FontSize(), 18);
  EXPECT_EQ(Form->CurrentProfilePath(), Form->DefaultProfilePath());

  // Named pipes by those names are no profiles: passed by, never opened (an
  // open would wait for a writer for ever).
  const QString pipes = Root + "pipes/books/";
  QDir().mkpath(pipes);
  for (const QString &name : {pipes + "book.plp", pipes + "PagelumeProfile.plp", Root + "pipes/PagelumeProfile.plp"})
    ASSERT_EQ(::mkfifo(QFile::encodeName(name).constData(), 0644), 0);
  ::alarm(60);  // a read that blocks ends the test run
  ASSERT_TRUE(Open(Book("pipes/books/book.txt")));
  ::alarm(0);
  EXPECT_EQ(FontSize(), 18);
  EXPECT_EQ(Form->CurrentProfilePath(), Form->DefaultProfilePath());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProfileFormTest, AProfileHoldingOneKeyResetsEverythingElse) {
  Write("a/a.plp", Profile("FontSize=30\r\nBoldFont=TRUE\r\nParagraphPrefix=Tab\r\nLeftMargin=40\r\n"));
  Write("b/b.plp", Profile("EnhanceText=FALSE\r\n"));
  ASSERT_TRUE(Open(Book("a/a.txt")));
  EXPECT_EQ(FontSize(), 30);
  EXPECT_TRUE(Form->FormatOptions->BoldFont());
  EXPECT_EQ(Form->RichEdit->LeftMargin(), 40);  // margins take effect at once
  ASSERT_TRUE(Open(Book("b/b.txt")));
  EXPECT_FALSE(Form->EnhanceTextCheckBox->isChecked());
  EXPECT_EQ(FontSize(), 16);
  EXPECT_FALSE(Form->FormatOptions->BoldFont());
  EXPECT_EQ(Form->FormatOptions->ParagraphPrefix(), "None");
  EXPECT_EQ(Form->RichEdit->LeftMargin(), 15);
  EXPECT_EQ(Form->CurrentProfile(), [] {
    ProfileSettings expected;
    expected.EnhanceText = false;
    return expected;
  }());
}

TEST_F(ProfileFormTest, KeysWithoutControlsAreKeptThroughTheWindow) {
  const QString dirProfile =
      Write("shelf/PagelumeProfile.plp",
            "[Profile_Main]\r\nGammaRichBackImage=250\r\nTitleRichBackImage=paper.png\r\nScreenBackColor=clRed\r\n"
            "DirTypeForeColor=123456\r\n[Profile_BackSounds]\r\nUse=TRUE\r\nCount=2\r\nFile0=rain.wav\r\n"
            "File1=sea.wav\r\nDur1=400\r\n");
  ASSERT_TRUE(Open(Book("shelf/novel.txt")));
  EXPECT_EQ(Form->Profile.ScreenBackColor, 0x0000FFu);
  ASSERT_TRUE(Open(Book("other/book.txt")));  // rewrites the shelf's profile
  const QByteArray saved = Read(dirProfile);
  for (const char *line : {"GammaRichBackImage=250", "TitleRichBackImage=paper.png", "ScreenBackColor=255",
                           "DirTypeForeColor=123456", "Use=TRUE", "Count=2", "File0=rain.wav", "File1=sea.wav",
                           "Dur1=400"})
    EXPECT_TRUE(saved.contains(QByteArray(line) + "\r\n")) << line;
}

TEST_F(ProfileFormTest, OptionsFollowTheirBookAcrossOpensAndStarts) {
  Write("dirA/PagelumeProfile.plp", "");  // A's directory keeps its own profile
  const QString a = Book("dirA/A.txt");
  const QString b = Book("dirB/B.txt");
  ASSERT_TRUE(Open(a));
  Choose(Form->FormatOptions->FontSizeComboBox, "24");
  Form->FormatOptions->FontSizeComboBoxChange();
  Choose(Form->FormatOptions->LineSpacingComboBox, "200");
  Form->FormatOptions->LineSpacingComboBoxChange();

  ASSERT_TRUE(Open(b));  // saves A's profile on the way
  EXPECT_EQ(FontSize(), 16);
  EXPECT_EQ(LineSpacing(), 120);
  EXPECT_EQ(ShownFontSize(), 16);
  EXPECT_TRUE(Read(Root + "dirA/PagelumeProfile.plp").contains("FontSize=24\r\n"));

  ASSERT_TRUE(Open(a));
  EXPECT_EQ(FontSize(), 24);
  EXPECT_EQ(LineSpacing(), 200);
  EXPECT_EQ(ShownFontSize(), 24);

  // "Save" with Alt proposes the book's own profile and makes it current.
  Answer = Dialogs.empty() ? QString() : QString();
  Form->ChooseProfileFile = [this](const QString &caption, const QString &initial, bool save) {
    Dialogs.push_back({caption, initial, save});
    return initial;
  };
  Press(Form->SaveProfileButton, Qt::AltModifier);
  ASSERT_EQ(Dialogs.size(), 1u);
  EXPECT_EQ(Dialogs[0].Caption, "Save profile");
  EXPECT_EQ(Dialogs[0].Initial, Root + "dirA/A.plp");
  EXPECT_TRUE(Dialogs[0].Save);
  EXPECT_EQ(Boxes.back(), "Profile was saved.");
  EXPECT_EQ(Form->CurrentProfilePath(), Root + "dirA/A.plp");

  // Closing saves the current profile with the program settings.
  Choose(Form->FormatOptions->SpaceAfterComboBox, "20");
  Form->FormCloseQuery();
  EXPECT_TRUE(Read(Root + "dirA/A.plp").contains("SpaceAfter=20\r\n"));

  // The next start: the book's own profile now comes first.
  Write("dirA/PagelumeProfile.plp", Profile("FontSize=12\r\n"));
  NewForm();
  EXPECT_EQ(FontSize(), 16);
  ASSERT_TRUE(Open(a));
  EXPECT_EQ(FontSize(), 24);
  EXPECT_EQ(LineSpacing(), 200);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProfileFormTest, AutomaticSavesNeverDestroyAProfile) {
  // A profile that cannot be read is reported once and kept as it is.
  const QByteArray broken = Profile("EnhanceText=FALSE\r\nScreenBackColor=no colour at all\r\nFontSize=20\r\n");
  const QString brokenPath = Write("bad/PagelumeProfile.plp", broken);
  ASSERT_TRUE(Open(Book("bad/book.txt")));  // the book still opens
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Failed to load file.");
  EXPECT_FALSE(Form->EnhanceTextCheckBox->isChecked());  // read before the failure
  EXPECT_EQ(FontSize(), 16);                              // not reached
  Choose(Form->FormatOptions->FontSizeComboBox, "40");
  ASSERT_TRUE(Open(Book("good/book.txt")));
  Form->SaveProfileAtExit();
  EXPECT_EQ(Read(brokenPath), broken);
  EXPECT_EQ(Errors.size(), 1u);

  // A profile whose folder can no longer be written: the save fails with its
  // message, the old file stays, and the next book still opens.
  Write("gone/PagelumeProfile.plp", Profile("FontSize=22\r\n"));
  ASSERT_TRUE(Open(Book("gone/book.txt")));
  ASSERT_TRUE(QDir(Root + "gone").removeRecursively());
  Write("gone", "now a file");
  Errors.clear();
  ASSERT_TRUE(Open(Book("good/other.txt")));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "Failed to save file.");
  EXPECT_EQ(Form->CurrentProfilePath(), Form->DefaultProfilePath());

  // Saves replace the file whole: no temporary files are left beside it.
  Form->SaveProfileAtExit();
  EXPECT_EQ(QDir(Root + "prog").entryList({"PagelumeProfile*"}, QDir::Files),
            QStringList{"PagelumeProfile.plp"});
}

// A new user's first book: the page is painted before its profile reaches
// the disk, and the profile is written right after, or at the latest when the
// window closes; the next book of the same profile reads the values kept.
TEST_F(ProfileFormTest, TheProfileBeingLeftIsWrittenAfterThePage) {
  const QString profile = Form->DefaultProfilePath();
  ASSERT_FALSE(QFile::exists(profile));
  struct TPaintWatch : QObject {
    QString File;
    int Paints = 0;
    bool ExistedAtFirstPaint = false;
    bool eventFilter(QObject *, QEvent *event) override {
      if (event->type() == QEvent::Paint && Paints++ == 0)
        ExistedAtFirstPaint = QFile::exists(File);
      return false;
    }
  } watch;
  watch.File = profile;
  Form->RichEdit->viewport()->installEventFilter(&watch);
  Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
  ASSERT_TRUE(Open(Book("first/book.txt")));
  QTRY_VERIFY(watch.Paints > 0);
  EXPECT_FALSE(watch.ExistedAtFirstPaint);
  QTRY_VERIFY(QFile::exists(profile));
  EXPECT_TRUE(Read(profile).startsWith("[Profile_Main]\r\n"));
  EXPECT_TRUE(Read(profile).contains("FontSize=16\r\n"));

  // Never painted: the write waits for the close, and the next book of the
  // same profile has the values meanwhile.
  NewForm();
  Choose(Form->FormatOptions->FontSizeComboBox, "30");
  Form->FormatOptions->FontSizeComboBoxChange();
  ASSERT_TRUE(Open(Book("second/book.txt")));
  EXPECT_EQ(FontSize(), 30);
  EXPECT_TRUE(Read(profile).contains("FontSize=16\r\n"));
  // "Delete" of that profile meanwhile: it stays deleted until the close saves it again.
  Answer = profile;
  Press(Form->DeleteProfileButton, Qt::NoModifier);
  EXPECT_FALSE(QFile::exists(profile));
  Form->show();
  QTest::qWait(50);
  EXPECT_FALSE(QFile::exists(profile));
  Form->FormCloseQuery();
  EXPECT_TRUE(Read(profile).contains("FontSize=30\r\n"));
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProfileFormTest, WithoutAutoSaveNothingIsWrittenBehindTheReader) {
  const QByteArray kept = Profile("FontSize=22\r\n");
  const QString dirProfile = Write("shelf/PagelumeProfile.plp", kept);
  Form->AutoSaveProfileCheckBox->setChecked(false);
  ASSERT_TRUE(Open(Book("shelf/novel.txt")));
  Choose(Form->FormatOptions->FontSizeComboBox, "40");
  ASSERT_TRUE(Open(Book("other/book.txt")));
  EXPECT_EQ(Read(dirProfile), kept);
  ASSERT_TRUE(Open(Book("shelf/novel.txt")));
  EXPECT_EQ(FontSize(), 22);
  Choose(Form->FormatOptions->FontSizeComboBox, "40");
  Answer = Root + "shelf/novel.txt";  // refused by its extension, after the (skipped) save
  Press(Form->LoadProfileButton, Qt::NoModifier);
  Form->FormCloseQuery();
  EXPECT_EQ(Read(dirProfile), kept);
  EXPECT_FALSE(QFile::exists(Form->DefaultProfilePath()));
}

TEST_F(ProfileFormTest, WorkButtonsOfferTheirFilesByModifier) {
  const QString book = Book("shelf/novel.txt");
  ASSERT_TRUE(Open(book));
  const QString current = Form->CurrentProfilePath();
  const QString def = Form->DefaultProfilePath();
  const QString dir = Root + "shelf/PagelumeProfile.plp";
  struct TCase {
    QPushButton *Button;
    Qt::KeyboardModifiers Modifiers;
    QString Initial;  // empty: no dialog
  };
  const std::vector<TCase> cases = {
      {Form->LoadProfileButton, Qt::NoModifier, current},
      {Form->LoadProfileButton, Qt::ControlModifier, def},
      {Form->LoadProfileButton, Qt::ShiftModifier, dir},
      {Form->LoadProfileButton, Qt::AltModifier, QString()},
      {Form->LoadProfileButton, Qt::ControlModifier | Qt::ShiftModifier, QString()},
      {Form->SaveProfileButton, Qt::NoModifier, current},
      {Form->SaveProfileButton, Qt::ControlModifier, def},
      {Form->SaveProfileButton, Qt::ShiftModifier, dir},
      {Form->SaveProfileButton, Qt::AltModifier, Root + "shelf/novel.plp"},
      {Form->SaveProfileButton, Qt::ControlModifier | Qt::AltModifier, Root + "shelf/novel.plp"},
      {Form->DeleteProfileButton, Qt::NoModifier, current},
      {Form->DeleteProfileButton, Qt::ControlModifier, def},
      {Form->DeleteProfileButton, Qt::ShiftModifier, dir},
      {Form->DeleteProfileButton, Qt::AltModifier, QString()},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE((c.Button->text() + " " + QString::number(c.Modifiers.toInt())).toStdString());
    Dialogs.clear();
    Press(c.Button, c.Modifiers);
    if (c.Initial.isEmpty()) {
      EXPECT_TRUE(Dialogs.empty());
      continue;
    }
    ASSERT_EQ(Dialogs.size(), 1u);
    EXPECT_EQ(Dialogs[0].Initial, c.Initial);
    EXPECT_EQ(Dialogs[0].Caption, c.Button->text() + " profile");
    EXPECT_EQ(Dialogs[0].Save, c.Button == Form->SaveProfileButton);
  }
  // Only the left button acts.
  Dialogs.clear();
  Press(Form->LoadProfileButton, Qt::NoModifier, Qt::RightButton);
  EXPECT_TRUE(Dialogs.empty());
  EXPECT_TRUE(Boxes.isEmpty());
  // Space on the focused button acts like a press without modifiers.
  Form->DeleteProfileButton->setFocus();
  QTest::keyClick(Form->DeleteProfileButton, Qt::Key_Space);
  ASSERT_EQ(Dialogs.size(), 1u);
  EXPECT_EQ(Dialogs[0].Caption, "Delete profile");
  EXPECT_FALSE(Form->SaveProfileButton->toolTip().isEmpty());
}

TEST_F(ProfileFormTest, FormatListsOfferTheProfilesValues) {
  using namespace ProfileOptions;
  const TFormatOptionsPanel *f = Form->FormatOptions;
  const std::vector<std::pair<QComboBox *, const TProfileIntOption *>> lists = {
      {f->LeftMarginComboBox, &LeftMargin},   {f->RightMarginComboBox, &RightMargin},
      {f->FontSizeComboBox, &ProfileOptions::FontSize},       {f->FontZoomComboBox, &FontZoom},
      {f->CharSpacingComboBox, &CharSpacing}, {f->LineSpacingComboBox, &ProfileOptions::LineSpacing},
      {f->SpaceAfterComboBox, &SpaceAfter},   {f->FirstLineIndentComboBox, &FirstLineIndent}};
  for (const auto &[box, option] : lists) {
    SCOPED_TRACE(option->Key);
    std::vector<std::string> items;
    for (int i = 0; i < box->count(); ++i)
      items.push_back(box->itemText(i).toStdString());
    EXPECT_EQ(items, option->Items());
    EXPECT_EQ(box->currentText().toStdString(), std::to_string(option->Default));
  }
  std::vector<std::string> prefixes;
  for (int i = 0; i < f->ParagraphPrefixComboBox->count(); ++i)
    prefixes.push_back(f->ParagraphPrefixComboBox->itemText(i).toStdString());
  EXPECT_EQ(prefixes, ParagraphPrefixItems());
}

TEST_F(ProfileFormTest, LoadChecksTheExtensionAfterTheAutomaticSaveThenReopensTheBook) {
  const QString book = Book("shelf/novel.txt");
  ASSERT_TRUE(Open(book));
  Choose(Form->FormatOptions->FontSizeComboBox, "26");
  Answer = Root + "shelf/novel.txt";
  Press(Form->LoadProfileButton, Qt::NoModifier);
  EXPECT_EQ(Boxes, QStringList{"Invalid file extensions."});
  // The current (default) profile was saved before the warning.
  EXPECT_TRUE(Read(Form->DefaultProfilePath()).contains("FontSize=26\r\n"));

  // A chosen profile is read by reopening the book with it, at the same place.
  const QString chosen = Write("elsewhere/Mine.PLP", Profile("FontSize=30\r\nEnhanceText=FALSE\r\n"));
  Answer = chosen;
  Boxes.clear();
  Press(Form->LoadProfileButton, Qt::NoModifier);
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_EQ(Form->CurrentProfilePath(), chosen);
  EXPECT_EQ(FontSize(), 30);
  EXPECT_EQ(ShownFontSize(), 30);
  EXPECT_EQ(Form->Loader->State.Path, book.toStdString());
  EXPECT_FALSE(Form->EnhanceTextCheckBox->isChecked());
}

TEST_F(ProfileFormTest, LoadWithoutABookLeavesTheProfileAsItWas) {
  const QString chosen = Write("elsewhere/mine.plp", Profile("FontSize=30\r\n"));
  Answer = chosen;
  Press(Form->LoadProfileButton, Qt::NoModifier);
  EXPECT_EQ(Boxes, QStringList{"The book is not a valid text file, or it doesn't exist."});
  EXPECT_EQ(Form->CurrentProfilePath(), Form->DefaultProfilePath());
  Form->SaveProfileAtExit();
  EXPECT_EQ(Read(chosen), Profile("FontSize=30\r\n"));
  EXPECT_EQ(FontSize(), 16);
}

TEST_F(ProfileFormTest, SaveAsksBeforeReplacingAndDeleteRemoves) {
  ASSERT_TRUE(Open(Book("shelf/novel.txt")));
  const QString target = Write("shelf/PagelumeProfile.plp", "old");
  Answer = target;
  QueryAnswer = false;
  Press(Form->SaveProfileButton, Qt::ShiftModifier);
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_TRUE(Boxes[0].contains("already exists.\nOverwrite it?"));
  EXPECT_EQ(Read(target), "old");
  // The refused file does not become current: no automatic save replaces it later.
  EXPECT_EQ(Form->CurrentProfilePath(), Form->DefaultProfilePath());
  Form->SaveProfileAtExit();
  EXPECT_EQ(Read(target), "old");

  Boxes.clear();
  Answer = Root + "shelf/profile.txt";
  Press(Form->SaveProfileButton, Qt::NoModifier);
  EXPECT_EQ(Boxes, QStringList{"Invalid file extensions."});
  EXPECT_FALSE(QFile::exists(Answer));

  // Delete takes a read-only file too, without a question; the options stay.
  Choose(Form->FormatOptions->FontSizeComboBox, "20");
  QFile::setPermissions(target, QFileDevice::ReadOwner);
  Answer = target;
  Boxes.clear();
  Press(Form->DeleteProfileButton, Qt::ShiftModifier);
  EXPECT_FALSE(QFile::exists(target));
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_EQ(FontSize(), 20);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProfileFormTest, PictureTitlesFollowTheProfileTheyAreSavedTo) {
  const QString picture = Write("shelf/paper.png", "png");
  Write("shelf/PagelumeProfile.plp", Profile("TitleRichBackImage=paper.png\r\nTitleScreenBackImage=gone.png\r\n"));
  ASSERT_TRUE(Open(Book("shelf/novel.txt")));
  EXPECT_EQ(Form->Profile.TitleRichBackImage, "paper.png");
  EXPECT_EQ(Form->ResolveMediaTitle("paper.png", BackImagesDir()), picture);

  // Saved elsewhere, the picture beside the old profile keeps its full path;
  // a title that names no file keeps its name.
  Answer = Root + "other/moved.plp";
  QDir().mkpath(Root + "other");
  Press(Form->SaveProfileButton, Qt::NoModifier);
  const QByteArray saved = Read(Answer);
  EXPECT_TRUE(saved.contains("TitleRichBackImage=" + picture.toUtf8() + "\r\n")) << saved.constData();
  EXPECT_TRUE(saved.contains("TitleScreenBackImage=gone.png\r\n"));

  // With the default profile current, a shipped picture is stored relative to
  // the pictures folder and one beside a book keeps its full path.
  const QString shipped = Write("prog/BackImages/sky.png", "png");
  ASSERT_TRUE(Open(Book("plain/book.txt")));
  ASSERT_EQ(Form->CurrentProfilePath(), Form->DefaultProfilePath());
  Form->TitleScreenBackImageEdit->setText(shipped);
  Form->TitleRichBackImageEdit->setText(picture);
  Form->SaveProfileAtExit();
  const QByteArray def = Read(Form->DefaultProfilePath());
  EXPECT_TRUE(def.contains("TitleScreenBackImage=sky.png\r\n"));
  EXPECT_TRUE(def.contains("TitleRichBackImage=" + picture.toUtf8() + "\r\n"));
}

}  // namespace
