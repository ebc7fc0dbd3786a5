#include "MyGDIPlus.h"

#include "Error.h"
#include "StartMemory.h"

#include <QBackingStore>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/mman.h>
#ifdef PAGELUME_HAVE_XCB
#include <xcb/xcb.h>
#endif

QString GetPictureExtensionsAsFilter() {
  OP_BEGIN("GetPictureExtensionsAsFilter");
  QString filter;
  OP_TRY {
    for (const QByteArray &format : QImageReader::supportedImageFormats()) {
      if (!filter.isEmpty())
        filter += ';';
      filter += "*." + QString::fromLatin1(format);
    }
    filter = filter.toLower();
  }
  OP_CATCH;
  return filter;
}

bool MatchesPictureFilter(const QString &path, const QString &filter) {
  if (filter.trimmed().isEmpty())
    return true;
  const QString name = QFileInfo(path).fileName();
  for (const QString &pattern : filter.split(';', Qt::SkipEmptyParts)) {
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern.trimmed()),
                                QRegularExpression::CaseInsensitiveOption);
    if (re.match(name).hasMatch())
      return true;
  }
  return false;
}

void FitPictureSize(int32_t pictureWidth, int32_t pictureHeight, int32_t maxWidth, int32_t maxHeight, bool enlarge,
                    int32_t &width, int32_t &height) {
  if (pictureWidth < 1 || pictureHeight < 1) {
    width = height = 0;
    return;
  }
  // 64-bit products: a picture header may claim any size.
  width = enlarge ? maxWidth : std::min(pictureWidth, maxWidth);
  height = static_cast<int32_t>(int64_t(width) * pictureHeight / pictureWidth);
  if (height > maxHeight) {
    height = enlarge ? maxHeight : std::min(pictureHeight, maxHeight);
    width = static_cast<int32_t>(int64_t(height) * pictureWidth / pictureHeight);
  }
}

namespace {
// A JPEG decoder fills a cut file's missing part with grey and calls it a
// success: a complete JPEG has its end marker (FF D9) near the end of the file.
bool JpegComplete(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return false;
  const qint64 tail = std::min<qint64>(file.size(), 4096);
  if (!file.seek(file.size() - tail))
    return false;
  return file.read(tail).contains("\xFF\xD9");
}

bool FadeActive(int32_t fade) { return fade >= 1 && fade <= 100; }
bool GammaActive(int32_t gamma) { return gamma >= 1 && gamma <= 1000 && gamma != 100; }
}  // namespace

bool FadeGammaActive(int32_t fade, int32_t gamma) { return FadeActive(fade) || GammaActive(gamma); }

std::array<uint8_t, 256> FadeGammaTable(int32_t fade, int32_t gamma) {
  std::array<uint8_t, 256> table{};
  const double keep = FadeActive(fade) ? 1.0 - fade * 0.01 : 1.0;
  const double exponent = GammaActive(gamma) ? 100.0 / gamma : 1.0;
  for (int c = 0; c < 256; ++c) {
    const double corrected = 255.0 * std::pow(c / 255.0, exponent);
    table[static_cast<std::size_t>(c)] =
        static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(corrected * keep)), 0, 255));
  }
  return table;
}

QImage NewScreenPicture(int32_t width, int32_t height) {
  constexpr size_t Large = size_t(2) << 20;  // a large page
  if (width < 1 || height < 1 || width > 65536 || height > 65536)
    return QImage(width, height, QImage::Format_RGB32);  // null, or a small one
  const size_t line = size_t(width) * 4, bytes = line * size_t(height);
  if (bytes < 2 * Large)
    return QImage(width, height, QImage::Format_RGB32);
  const size_t rounded = (bytes + Large - 1) / Large * Large;
  void *memory = std::aligned_alloc(Large, rounded);
  if (!memory)
    return QImage(width, height, QImage::Format_RGB32);
  madvise(memory, rounded, MADV_HUGEPAGE);  // only a wish: refused, the pages are small ones
  return QImage(static_cast<uchar *>(memory), width, height, qsizetype(line), QImage::Format_RGB32,
                [](void *data) { std::free(data); }, memory);
}

#ifdef PAGELUME_HAVE_XCB
namespace {
// The toolkit's own connection to the X server; null on any other display.
xcb_connection_t *X11Connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    return nullptr;
  auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}
}  // namespace
#endif

void PrepareWindowSurface(QWidget *window) {
  QBackingStore *store = window ? window->backingStore() : nullptr;
  if (!store || !window->isVisible())
    return;
  if (store->size() != window->size())
    store->resize(window->size());
  // The surface's memory is taken in one call, not a fault per page at the
  // first paint (Linux 5.14 on; an older system says no and nothing changes).
  if (const auto *image = dynamic_cast<const QImage *>(store->paintDevice()); image && !image->isNull())
    TakePages(const_cast<uchar *>(image->constBits()), size_t(image->sizeInBytes()));
#ifdef PAGELUME_HAVE_XCB
  // Sent now, the display makes its copy of the surface while the book is read.
  if (xcb_connection_t *connection = X11Connection())
    xcb_flush(connection);
#endif
}

void SetWindowColorAtMap(QWidget *window, const QColor &color) {
#ifdef PAGELUME_HAVE_XCB
  xcb_connection_t *connection = X11Connection();
  const QScreen *screen = window ? window->screen() : nullptr;
  if (!connection || !color.isValid() || !screen || screen->depth() < 24)
    return;
  const uint32_t pixel = color.rgb() & 0xFFFFFFu;  // a true-colour visual of 24 bits
  xcb_change_window_attributes(connection, xcb_window_t(window->winId()), XCB_CW_BACK_PIXEL, &pixel);
#else
  (void)window;
  (void)color;
#endif
}

QColor PictureTone(const QImage &picture) {
  if (picture.isNull())
    return QColor();
  constexpr int Steps = 32;
  uint64_t red = 0, green = 0, blue = 0, count = 0;
  for (int j = 0; j < Steps; ++j)
    for (int i = 0; i < Steps; ++i) {
      const QRgb p = picture.pixel(int(int64_t(picture.width() - 1) * i / (Steps - 1)),
                                   int(int64_t(picture.height() - 1) * j / (Steps - 1)));
      red += uint64_t(qRed(p));
      green += uint64_t(qGreen(p));
      blue += uint64_t(qBlue(p));
      ++count;
    }
  return QColor(int(red / count), int(green / count), int(blue / count));
}

namespace {
// The picture as opaque RGB32: transparent parts over the colour under.
QImage OverColor(const QImage &picture, const QColor &under) {
  if (!picture.hasAlphaChannel())
    return picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
  QImage out = NewScreenPicture(picture.width(), picture.height());
  out.fill(under.rgb());
  QPainter painter(&out);
  painter.drawImage(0, 0, picture);
  return out;
}

// One pass from an RGB32 source into a new picture of its size.
QImage ApplyTable(const QImage &source, const std::array<uint8_t, 256> &t) {
  QImage out = NewScreenPicture(source.width(), source.height());
  if (out.isNull())
    return out;
  for (int y = 0; y < source.height(); ++y) {
    const auto *from = reinterpret_cast<const QRgb *>(source.constScanLine(y));
    auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
    for (int x = 0, w = source.width(); x < w; ++x) {
      const QRgb p = from[x];
      to[x] = 0xFF000000u | (uint32_t(t[qRed(p)]) << 16) | (uint32_t(t[qGreen(p)]) << 8) | t[qBlue(p)];
    }
  }
  return out;
}
}  // namespace

bool DrawPicture(const QImage &picture, QImage &target, int32_t width, int32_t height, int32_t fade, int32_t gamma,
                 const QColor &under) {
  if (picture.isNull() || width < 1 || height < 1) {
    target = QImage();
    return false;
  }
  const QImage scaled = picture.size() == QSize(width, height)
                            ? picture
                            : picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  target = OverColor(scaled, under);
  if (!target.isNull() && FadeGammaActive(fade, gamma))
    target = ApplyTable(target, FadeGammaTable(fade, gamma));
  return !target.isNull();
}

namespace {
// Decodes path so that it covers width × height (a decoder that can shrink
// while decoding, as JPEG's by 1/2, 1/4 or 1/8, delivers no less than that).
bool DecodePicture(QImageReader &reader, const QSize &full, int32_t width, int32_t height, QImage &picture) {
  if (reader.supportsOption(QImageIOHandler::ScaledSize)) {
    int k = 1;
    while (k < 8 && full.width() / (2 * k) >= width && full.height() / (2 * k) >= height)
      k *= 2;
    if (k > 1)
      reader.setScaledSize(QSize((full.width() + k - 1) / k, (full.height() + k - 1) / k));
  }
  picture = reader.read();
  return !picture.isNull();
}
}  // namespace

bool LoadPictureToBitmap(const QString &path, int32_t maxWidth, int32_t maxHeight, bool stretch, bool enlarge,
                         int32_t fadeA, int32_t fadeB, int32_t gamma, QImage &bitmapA, QImage &bitmapB,
                         TDecodedPicture *shared, const QColor &under) {
  OP_BEGIN("LoadPictureToBitmap");
  bitmapA = QImage();
  bitmapB = QImage();
  bool result = false;
  OP_TRY {
    const std::string file = path.toStdString();
    QImageReader reader(path);
    const QSize full = reader.size();
    if (!reader.canRead() || !full.isValid() || full.isEmpty()) {
      OP_RAISE("Failed to load picture.", file, reader.errorString().toStdString());
      return false;
    }
    // Refuse what the decoder would refuse, before any pixel memory is taken.
    const int limitMb = QImageReader::allocationLimit();
    if (limitMb > 0 && int64_t(full.width()) * full.height() * 4 > int64_t(limitMb) * 1024 * 1024) {
      OP_RAISE("Failed to load picture.", file,
               "The picture is too large (" + std::to_string(full.width()) + " x " + std::to_string(full.height()) +
                   " pixels).");
      return false;
    }
    int32_t width = maxWidth, height = maxHeight;
    if (!stretch)
      FitPictureSize(full.width(), full.height(), maxWidth, maxHeight, enlarge, width, height);
    if (width < 1 || height < 1) {
      OP_RAISE("Failed to load picture.", file, "No room to draw the picture.");
      return false;
    }
    if (reader.format() == "jpeg" && !JpegComplete(path)) {
      OP_RAISE("Failed to load picture.", file, "The picture file is incomplete.");
      return false;
    }
    QImage picture;
    if (shared && shared->Path == path && shared->FullSize == full && !shared->Image.isNull() &&
        (shared->Image.size() == full ||
         (shared->Image.width() >= width && shared->Image.height() >= height))) {
      picture = shared->Image;
    } else if (!DecodePicture(reader, full, width, height, picture)) {
      OP_RAISE("Failed to load picture.", file, reader.errorString().toStdString());
      return false;
    }
    if (shared)
      *shared = {path, full, picture};
    const QImage scaled = picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!DrawPicture(scaled, bitmapA, width, height, fadeA, gamma, under) ||
        !(fadeA == fadeB ? (bitmapB = bitmapA, true)
                         : DrawPicture(scaled, bitmapB, width, height, fadeB, gamma, under))) {
      OP_RAISE("Failed to load picture.", file, "The picture could not be drawn.");
      bitmapA = bitmapB = QImage();
      return false;
    }
    result = true;
  }
  OP_CATCH;
  if (!result)
    bitmapA = bitmapB = QImage();
  return result;
}

QImage TilePicture(const QImage &tile, int32_t width, int32_t height) {
  if (tile.isNull() || width < 1 || height < 1)
    return QImage();
  if (tile.size() == QSize(width, height) && tile.format() == QImage::Format_RGB32)
    return tile;
  QImage out = NewScreenPicture(width, height);  // every pixel is covered below
  if (out.isNull())
    return out;
  const int tileWidth = std::min(tile.width(), width), tileHeight = std::min(tile.height(), height);
  const int columns = (width + tile.width() - 1) / tile.width();
  const int rows = (height + tile.height() - 1) / tile.height();
  QPainter painter(&out);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column)
      painter.drawImage(column * tileWidth, row * tileHeight, tile);
  return out;
}
