#include "Error.h"
#include "MyGDIPlus.h"

#include <QBackingStore>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QSize Fit(int pw, int ph, int mw, int mh, bool enlarge = false) {
  int32_t w = -1, h = -1;
  FitPictureSize(pw, ph, mw, mh, enlarge, w, h);
  return QSize(w, h);
}

// A picture whose every pixel tells where it is: red = x, green = y (mod 256).
QImage Numbered(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.setPixel(x, y, qRgb(x % 256, y % 256, 100));
  return image;
}

QImage Plain(int w, int h, QRgb color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

class PictureFiles : public ::testing::Test {
protected:
  void SetUp() override { FunStatContext.Reset(); }
  QString Write(const QString &name, const QByteArray &bytes) {
    QFile f(Dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  }
  QString Save(const QString &name, const QImage &image, const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return Write(name, bytes);
  }
  // Loads and expects a refusal that leaves both pictures absent.
  void ExpectRefused(const QString &path) {
    QImage a = Plain(4, 4, qRgb(1, 2, 3)), b = a;
    FunStatContext.Reset();
    EXPECT_FALSE(LoadPictureToBitmap(path, 1024, 768, false, false, 0, 0, 100, a, b)) << path.toStdString();
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(FunStatContext.Failed());
    EXPECT_EQ(FunStatContext.Description, "Failed to load picture.");
    FunStatContext.Reset();
  }
  QTemporaryDir Dir;
};

}  // namespace

TEST(PictureFit, ShrinksKeepingAspectNeverEnlarges) {
  EXPECT_EQ(Fit(100, 50, 1024, 768), QSize(100, 50));
  EXPECT_EQ(Fit(2000, 1000, 1024, 768), QSize(1024, 512));
  EXPECT_EQ(Fit(1000, 2000, 1024, 768), QSize(384, 768));
  EXPECT_EQ(Fit(4000, 3000, 1920, 1080), QSize(1440, 1080));
  EXPECT_EQ(Fit(100, 50, 1024, 768, true), QSize(1024, 512));
  EXPECT_EQ(Fit(50, 100, 1024, 768, true), QSize(384, 768));
  EXPECT_EQ(Fit(0, 50, 1024, 768), QSize(0, 0));
  EXPECT_EQ(Fit(50, -1, 1024, 768), QSize(0, 0));
  // A header may claim any size: no overflow in the products.
  EXPECT_EQ(Fit(2000000000, 1000000000, 1024, 768), QSize(1024, 512));
}

TEST(PictureFilter, ListsReadableFormatsAndMatchesNames) {
  const QString filter = GetPictureExtensionsAsFilter();
  EXPECT_EQ(filter, filter.toLower());
  for (const char *pattern : {"*.bmp", "*.png", "*.jpg", "*.jpeg", "*.gif"})
    EXPECT_TRUE(filter.split(';').contains(pattern)) << pattern;
  EXPECT_FALSE(filter.endsWith(';'));
  EXPECT_TRUE(MatchesPictureFilter("/a/b/Linen.JPG", filter));
  EXPECT_FALSE(MatchesPictureFilter("/a/b/notes.txt", filter));
  EXPECT_FALSE(MatchesPictureFilter("/a/jpg/notes", filter));
  EXPECT_TRUE(MatchesPictureFilter("/a/b/notes.txt", ""));
}

TEST(PictureProcessing, FadeAndGammaByTable) {
  const QImage grey = Plain(8, 8, qRgb(128, 128, 128));
  QImage out;
  // Fade 0 and gamma 100: unchanged, pixel for pixel.
  const QImage numbered = Numbered(40, 30);
  ASSERT_TRUE(DrawPicture(numbered, out, 40, 30, 0, 100));
  EXPECT_EQ(out.convertToFormat(QImage::Format_RGB32), numbered);
  // Values outside the ranges count as none.
  ASSERT_TRUE(DrawPicture(numbered, out, 40, 30, 101, 1001));
  EXPECT_EQ(out, numbered);
  // Fade 100: all black.
  ASSERT_TRUE(DrawPicture(numbered, out, 40, 30, 100, 100));
  EXPECT_EQ(out, Plain(40, 30, qRgb(0, 0, 0)));
  // Fade 50: half brightness.
  ASSERT_TRUE(DrawPicture(grey, out, 8, 8, 50, 100));
  EXPECT_EQ(qRed(out.pixel(3, 3)), 64);
  // Gamma 200 brightens a mid grey along the curve 255 × (c/255)^(1/2).
  ASSERT_TRUE(DrawPicture(grey, out, 8, 8, 0, 200));
  const int expected = int(std::lround(255 * std::sqrt(128 / 255.0)));
  EXPECT_EQ(qGreen(out.pixel(0, 0)), expected);
  EXPECT_GT(expected, 128);
  // Gamma 50 darkens; gamma first, then the fade.
  ASSERT_TRUE(DrawPicture(grey, out, 8, 8, 0, 50));
  EXPECT_LT(qBlue(out.pixel(0, 0)), 128);
  ASSERT_TRUE(DrawPicture(grey, out, 8, 8, 50, 200));
  EXPECT_EQ(qRed(out.pixel(0, 0)), int(std::lround(255 * std::sqrt(128 / 255.0) * 0.5)));
  // Black and white ends stay put under any gamma.
  const auto table = FadeGammaTable(0, 1000);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[255], 255);
}

TEST(PictureProcessing, TransparentPartsComeOutBlack) {
  QImage picture(4, 4, QImage::Format_ARGB32);
  picture.fill(qRgba(200, 100, 50, 0));
  picture.setPixel(0, 0, qRgba(200, 100, 50, 255));
  QImage out;
  ASSERT_TRUE(DrawPicture(picture, out, 4, 4, 0, 100));
  EXPECT_EQ(out.pixel(0, 0), qRgb(200, 100, 50));
  EXPECT_EQ(out.pixel(3, 3), qRgb(0, 0, 0));
}

TEST(PictureProcessing, TilesFromTheTopLeftCorner) {
  // 100 × 50 on 1024 × 768: 11 columns by 16 rows, the last ones cut.
  const QImage tile = Numbered(100, 50);
  const QImage screen = TilePicture(tile, 1024, 768);
  ASSERT_EQ(screen.size(), QSize(1024, 768));
  for (QPoint p : {QPoint(0, 0), QPoint(99, 49), QPoint(100, 0), QPoint(1023, 767), QPoint(1000, 750), QPoint(517, 333)})
    EXPECT_EQ(screen.pixel(p), tile.pixel(p.x() % 100, p.y() % 50)) << p.x() << "," << p.y();

  // 2000 × 1000 fitted to 1024 × 512, 1 column by 2 rows: the second row
  // shows the top of the picture again.
  int32_t w = 0, h = 0;
  FitPictureSize(2000, 1000, 1024, 768, false, w, h);
  QImage fitted;
  ASSERT_TRUE(DrawPicture(Plain(2000, 1000, qRgb(10, 20, 30)), fitted, w, h, 0, 100));
  fitted.setPixel(0, 0, qRgb(255, 0, 0));
  const QImage two = TilePicture(fitted, 1024, 768);
  EXPECT_EQ(two.pixel(0, 512), qRgb(255, 0, 0));
  EXPECT_EQ(two.pixel(1023, 767), qRgb(10, 20, 30));
  EXPECT_TRUE(TilePicture(QImage(), 10, 10).isNull());

  // A full-HD screen: its picture is made in memory of its own; copies share
  // it until one is changed, and each keeps its pixels after the other goes.
  QImage big = TilePicture(tile, 1920, 1080);
  ASSERT_EQ(big.size(), QSize(1920, 1080));
  EXPECT_EQ(big.pixel(1919, 1079), tile.pixel(1919 % 100, 1079 % 50));
  QImage copy = big;
  EXPECT_EQ(copy.constBits(), big.constBits());
  copy.setPixel(5, 5, qRgb(1, 2, 3));
  EXPECT_NE(copy.constBits(), big.constBits());
  EXPECT_EQ(big.pixel(5, 5), tile.pixel(5, 5));
  big = QImage();
  EXPECT_EQ(copy.pixel(1919, 1079), tile.pixel(1919 % 100, 1079 % 50));
  EXPECT_EQ(copy.pixel(5, 5), qRgb(1, 2, 3));
}

TEST_F(PictureFiles, LoadsFitsOrStretchesWithTwoFades) {
  const QString png = Save("wide.png", Plain(2000, 1000, qRgb(200, 200, 200)), "PNG");
  QImage a, b;
  ASSERT_TRUE(LoadPictureToBitmap(png, 1024, 768, false, false, 0, 50, 100, a, b));
  EXPECT_EQ(a.size(), QSize(1024, 512));
  EXPECT_EQ(b.size(), QSize(1024, 512));
  EXPECT_EQ(a.pixel(500, 300), qRgb(200, 200, 200));
  EXPECT_EQ(b.pixel(500, 300), qRgb(100, 100, 100));
  ASSERT_TRUE(LoadPictureToBitmap(png, 300, 700, true, false, 0, 0, 100, a, b));
  EXPECT_EQ(a.size(), QSize(300, 700));
  // A large JPEG is shrunk while decoding and still fitted exactly.
  const QString jpg = Save("big.jpg", Plain(4000, 3000, qRgb(90, 140, 190)), "JPEG");
  ASSERT_TRUE(LoadPictureToBitmap(jpg, 1920, 1080, false, false, 0, 0, 100, a, b));
  EXPECT_EQ(a.size(), QSize(1440, 1080));
  EXPECT_NEAR(qBlue(a.pixel(700, 500)), 190, 3);
  EXPECT_FALSE(FunStatContext.Failed());
}

TEST_F(PictureFiles, BadPicturesAreRefused) {
  QByteArray jpeg;
  {
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    Numbered(600, 400).save(&buffer, "JPEG");
  }
  ExpectRefused(Write("empty.jpg", QByteArray()));
  ExpectRefused(Write("text.png", "This is not a picture at all.\n"));
  ExpectRefused(Dir.filePath("vanished.png"));
  ExpectRefused(Write("cut.jpg", jpeg.left(jpeg.size() / 3)));
  ExpectRefused(Write("header.jpg", jpeg.left(300)));

  // Headers that claim 30000 × 30000 pixels (3.6 GB): refused from the
  // header, before anything is decoded.
  QByteArray bmp(54, '\0');
  auto put32 = [](QByteArray &bytes, int at, uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = char((v >> (8 * (bigEndian ? 3 - i : i))) & 0xFF);
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(bmp, 2, 54 + 16, false);
  put32(bmp, 10, 54, false);
  put32(bmp, 14, 40, false);
  put32(bmp, 18, 30000, false);
  put32(bmp, 22, 30000, false);
  bmp[26] = 1;
  bmp[28] = 24;
  bmp.append(16, '\x7f');
  ExpectRefused(Write("bomb.bmp", bmp));

  auto chunk = [&](const char *type, QByteArray data) {
    QByteArray c(4, '\0');
    put32(c, 0, uint32_t(data.size()), true);
    c += QByteArray(type, 4) + data;
    uint32_t crc = 0xFFFFFFFFu;
    for (int i = 4; i < c.size(); ++i) {
      crc ^= uint8_t(c[i]);
      for (int k = 0; k < 8; ++k)
        crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    c += QByteArray(4, '\0');
    put32(c, c.size() - 4, ~crc, true);
    return c;
  };
  QByteArray ihdr("\0\0\0\0\0\0\0\0\x08\x06\0\0\0", 13);
  put32(ihdr, 0, 30000, true);
  put32(ihdr, 4, 30000, true);
  const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
                         chunk("IDAT", QByteArray("\x78\x9c\x03\0\0\0\0\x01", 8)) + chunk("IEND", {});
  const QString bomb = Write("bomb.png", png);
  QImage a, b;
  EXPECT_FALSE(LoadPictureToBitmap(bomb, 1024, 768, false, false, 0, 0, 100, a, b));
  EXPECT_TRUE(FunStatContext.Param2.find("too large") != std::string::npos) << FunStatContext.Param2;
  EXPECT_TRUE(a.isNull());
}

// The surface made before the first paint is the one that paint uses: a
// window painted afterwards shows what it paints, and a hidden window or
// none is left alone.
TEST(WindowSurface, MadeBeforeTheFirstPaintAndUsedByIt) {
  PrepareWindowSurface(nullptr);
  QWidget hidden;
  PrepareWindowSurface(&hidden);
  struct TRed : QWidget {
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), Qt::red); }
  } window;
  window.resize(300, 200);
  window.show();
  PrepareWindowSurface(&window);
  ASSERT_NE(window.backingStore(), nullptr);
  EXPECT_EQ(window.backingStore()->size(), QSize(300, 200));
  const auto *prepared = dynamic_cast<const QImage *>(window.backingStore()->paintDevice());
  ASSERT_NE(prepared, nullptr);
  const uchar *memory = prepared->constBits();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  const auto *painted = dynamic_cast<const QImage *>(window.backingStore()->paintDevice());
  ASSERT_NE(painted, nullptr);
  EXPECT_EQ(painted->constBits(), memory);
  EXPECT_EQ(painted->pixelColor(150, 100), QColor(Qt::red));
}

// The colour shown until the first frame is the background picture's tone.
TEST(WindowSurface, ThePictureToneIsItsMeanColour) {
  EXPECT_FALSE(PictureTone(QImage()).isValid());
  QImage halves(64, 64, QImage::Format_RGB32);
  halves.fill(Qt::white);
  QPainter(&halves).fillRect(0, 0, 32, 64, QColor(0, 0, 200));
  const QColor tone = PictureTone(halves);
  EXPECT_NEAR(tone.red(), 128, 2);
  EXPECT_NEAR(tone.blue(), 228, 2);
  // Away from X11 the window is left as it is.
  QWidget window;
  SetWindowColorAtMap(&window, tone);
  EXPECT_FALSE(window.testAttribute(Qt::WA_WState_Created));
}
