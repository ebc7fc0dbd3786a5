// Background pictures: decoding, fitting, darkening ("fade") and gamma, and
// tiling. Pure image work on QImage (no widgets), so it runs without a display.
//
// The order of the work is fixed: fit or stretch the picture to its target
// size, lay it over its background colour (black unless the caller names
// one), then gamma-correct and darken it over black, then tile it.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

class QWidget;

// The file patterns of every image format the toolkit can read, lower case,
// joined with ";" ("*.bmp;*.gif;*.jpeg;*.jpg;..."). Empty when no reader exists.
QString GetPictureExtensionsAsFilter();
// Whether the path's file name matches one of the filter's patterns; an empty
// filter matches everything. Letter case is ignored.
bool MatchesPictureFilter(const QString &path, const QString &filter);

// The size a picture is drawn at inside maxWidth × maxHeight, keeping its
// aspect ratio (integer arithmetic, divisions truncate). Without enlarge the
// picture is only ever shrunk. A picture with no pixels gives 0 × 0.
void FitPictureSize(int32_t pictureWidth, int32_t pictureHeight, int32_t maxWidth, int32_t maxHeight, bool enlarge,
                    int32_t &width, int32_t &height);

// The table that maps a channel value c to c' × (1 − fade/100), where c' is c
// after the gamma correction 255 × (c/255)^(100/gamma). The fade counts only
// from 1 to 100 and the gamma only from 1 to 1000 and not 100; outside those
// they leave the value unchanged.
std::array<uint8_t, 256> FadeGammaTable(int32_t fade, int32_t gamma);
// Whether fade and gamma change anything at all.
bool FadeGammaActive(int32_t fade, int32_t gamma);

// Draws the whole picture scaled (smoothly) into (0, 0, width, height) of
// target, which is made width × height and filled with under first; then
// applies fade and gamma. Transparent parts of the picture show under (black
// by default). A picture already of that size is not scaled again. False when
// there is nothing to draw.
bool DrawPicture(const QImage &picture, QImage &target, int32_t width, int32_t height, int32_t fade, int32_t gamma,
                 const QColor &under = Qt::black);

// Decodes the picture at path once, fits it to maxWidth × maxHeight (or
// stretches it to exactly that size), and gives two processed copies: A with
// fadeA and B with fadeB, both with gamma. Pictures whose full size would need
// more memory than the toolkit's image allocation limit are refused before
// they are decoded. Failures are raised in the operation's status context
// ("Failed to load picture." with the reader's reason) and leave A and B null.
// Transparent parts of the picture show under.
//
// shared (optional) lets the pictures of one rebuild that name the same file
// share one decoding: it keeps the last decoded picture, which serves a later
// call on the same file whose target it covers.
struct TDecodedPicture {
  QString Path;
  QSize FullSize;  // the picture's own size
  QImage Image;    // decoded, possibly shrunk by the decoder
};
bool LoadPictureToBitmap(const QString &path, int32_t maxWidth, int32_t maxHeight, bool stretch, bool enlarge,
                         int32_t fadeA, int32_t fadeB, int32_t gamma, QImage &bitmapA, QImage &bitmapB,
                         TDecodedPicture *shared = nullptr, const QColor &under = Qt::black);

// A new RGB32 picture, not filled. One of a screen's size asks for its memory
// in large pages where the system offers them: filling it the first time is
// then many times quicker than page by page.
QImage NewScreenPicture(int32_t width, int32_t height);

// Makes the window's drawing surface now, at the window's size, takes all its
// memory at once and has the display make its side meanwhile. Made at the
// first paint instead, a full-screen surface costs that paint a page fault for
// every 4 KB and waits for the display to clear its copy.
void PrepareWindowSurface(QWidget *window);

// The colour the display fills the window with when it appears, until the
// window's first frame arrives (on X11; elsewhere nothing changes). Call it
// before the window is shown.
void SetWindowColorAtMap(QWidget *window, const QColor &color);

// The mean colour of a picture, from a sparse grid of its pixels.
QColor PictureTone(const QImage &picture);

// A width × height image covered with copies of tile from the top-left corner,
// ceil(width / tile width) columns by ceil(height / tile height) rows.
QImage TilePicture(const QImage &tile, int32_t width, int32_t height);
