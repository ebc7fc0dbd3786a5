#include "BookLoader.h"
#include "ColorContrast.h"
#include "ColorDialog.h"
#include "ColorSchemes.h"
#include "Dialogs.h"
#include "Error.h"
#include "MyGDIPlus.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "ProfileSettings.h"
#include "RTF.h"
#include "UtilitiesQt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

#include <gtest/gtest.h>

namespace {

class PagelumeColorsTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetProgramDirOverride(Dir.path());
    QDir(Dir.path()).mkdir("BackImages");
    SetMessageBoxHandler([](TMessageKind, const QString &) { return false; });
    SetShowErrorHandler([this](const TFunStatContext &, const std::string &description, bool *) {
      Errors << QString::fromStdString(description);
      return true;
    });
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return false; };
    Form->resize(1024, 768);
    Form->show();
    Form->LayoutWindow();
    Form->RichEdit->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    delete Form;
    SetShowErrorHandler({});
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
    FunStatContext.Reset();
  }
  QString Picture(const QString &name) const { return QDir(Dir.path()).filePath("BackImages/" + name); }
  QImage Shot() {
    QApplication::processEvents();
    return Form->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // A book of numbered paragraphs, some with quoted words.
  void FillBook() {
    for (int i = 0; i < 300; ++i)
      Form->RichEdit->AppendParagraph(u"Line " + std::u16string(i % 10 == 0 ? u"\"quoted\"" : u"plain") + u" text");
    Form->RichEdit->SetModified(false);
  }
  uint32_t ColorAt(int32_t position) {
    Form->RichEdit->SetSelection(position, 1);
    const uint32_t color = Form->RichEdit->GetCharFormat().TextColor;
    Form->RichEdit->SetSelection(0, 0);
    return color;
  }

  QTemporaryDir Dir;
  QStringList Errors;
  TPagelumeForm *Form = nullptr;
};

uint32_t ColorOf(QRgb rgb) { return Rgb(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

// The contrast of text in an area of a screenshot: the background is the
// median brightness of the area (text covers little of it), the text its
// extreme away from the background (the stems of the letters).
double TextContrast(const QImage &shot, const QRect &area) {
  std::vector<std::pair<double, QRgb>> pixels;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      pixels.emplace_back(RelativeLuminance(ColorOf(shot.pixel(x, y))), shot.pixel(x, y));
  if (pixels.empty())
    return 0;
  std::sort(pixels.begin(), pixels.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
  const QRgb back = pixels[pixels.size() / 2].second;
  // The 0.2 % farthest pixel, so that one stray pixel does not decide.
  const size_t margin = pixels.size() / 500;
  const QRgb dark = pixels[margin].second, light = pixels[pixels.size() - 1 - margin].second;
  return std::max(ContrastRatio(ColorOf(back), ColorOf(dark)), ContrastRatio(ColorOf(back), ColorOf(light)));
}

double MeanLuminance(const QImage &shot, const QRect &area) {
  double sum = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      sum += RelativeLuminance(ColorOf(shot.pixel(x, y)));
  return area.isEmpty() ? 0 : sum / (area.width() * area.height());
}

// The colour of the first link in the first paragraph, or 0xFFFFFFFF.
uint32_t FirstLinkColor(const QTextDocument &doc) {
  const QTextBlock first = doc.firstBlock();
  for (auto it = first.begin(); !it.atEnd(); ++it)
    if (it.fragment().charFormat().isAnchor())
      return ColorOf(it.fragment().charFormat().foreground().color().rgb());
  return 0xFFFFFFFFu;
}

QColor MeanColor(const QImage &shot, const QRect &area) {
  int r = 0, g = 0, b = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QRgb p = shot.pixel(x, y);
      r += qRed(p), g += qGreen(p), b += qBlue(p);
    }
  const int n = std::max(area.width() * area.height(), 1);
  return QColor(r / n, g / n, b / n);
}

QImage Numbered(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.setPixel(x, y, qRgb((x * 7) % 256, (y * 5) % 256, 200));
  return image;
}

}  // namespace

TEST_F(PagelumeColorsTest, ColorsPageHasTheSlotsWithHighLightDefaults) {
  QStringList groups;
  for (QGroupBox *g : Form->ProfileColorsTabSheet->findChildren<QGroupBox *>())
    groups << g->title();
  EXPECT_EQ(groups, QStringList({"Screen colors", "Rich-box colors", "Browser colors"}));
  EXPECT_TRUE(Form->ScreenColorsGroupBox->statusTip().startsWith("Left click a color to open the stock-color"));
  QStringList captions;
  for (QLabel *l : Form->ProfileColorsTabSheet->findChildren<QLabel *>())
    captions << l->text();
  EXPECT_EQ(captions, QStringList({"    Back", "    Fore", "    Window back", "    Fore", "    Empha",
                                   "    Second empha", "    Focus back", "    Focus fore", "    Directory back",
                                   "    Directory fore"}));
  EXPECT_EQ(Form->ColorSlots(), HighLightColors);
  EXPECT_EQ(Form->EmphaColorPanel->DefaultColor(), 0x820000u);
  EXPECT_TRUE(Form->EmphaColorPanel->Hint().startsWith("Navy (RGB 0-0-130"));
  EXPECT_EQ(Form->ShowFrameCheckBox->text(), "Show rich-box frame");
  EXPECT_EQ(Form->SetLowLightColorsButton->statusTip(),
            "Set all colors with the low light set of colors. Use these colors when the environmental light is low.");
  // The default screen is white, not the toolkit's grey.
  EXPECT_EQ(Shot().pixel(5, 5), qRgb(255, 255, 255));
}

TEST_F(PagelumeColorsTest, PickingColorsWithTheThreeButtons) {
  uint32_t offered = 0;
  Form->ChooseStockColor = [&](uint32_t &c) {
    offered = c;
    c = 0x0000AA;  // "Dark Red"
    return true;
  };
  EXPECT_TRUE(Form->PickColor(Form->DirTypeBackColorPanel, Qt::LeftButton));
  EXPECT_EQ(offered, 0x4B96AAu);
  EXPECT_EQ(Form->DirTypeBackColorPanel->Color(), 0x0000AAu);
  EXPECT_TRUE(Form->DirTypeBackColorPanel->Hint().startsWith("Dark Red (RGB 170-0-0"));

  // The toolkit's dialog, cancelled: nothing changes.
  Form->ChooseSystemColor = [](uint32_t &) { return false; };
  EXPECT_FALSE(Form->PickColor(Form->DirTypeBackColorPanel, Qt::RightButton));
  EXPECT_EQ(Form->DirTypeBackColorPanel->Color(), 0x0000AAu);
  // A colour outside the stock table: the hint starts with its RGB text.
  Form->ChooseSystemColor = [](uint32_t &c) {
    c = Rgb(1, 2, 3);
    return true;
  };
  EXPECT_TRUE(Form->PickColor(Form->DirTypeBackColorPanel, Qt::RightButton));
  EXPECT_TRUE(Form->DirTypeBackColorPanel->Hint().trimmed().startsWith("(RGB 1-2-3"))
      << Form->DirTypeBackColorPanel->Hint().toStdString();

  // Middle click restores the high-light value, whatever scheme is active.
  Form->SetLowLightColorsButtonClick();
  EXPECT_EQ(Form->ColorSlots(), LowLightColors);
  Form->ScreenBackColorPanelMouseUp(Qt::MiddleButton);
  Form->DirTypeForeColorPanelMouseUp(Qt::MiddleButton);
  EXPECT_EQ(Form->ScreenBackColorPanel->Color(), 0xFFFFFFu);
  EXPECT_EQ(Form->DirTypeForeColorPanel->Color(), 0xFFFFFFu);
  EXPECT_EQ(Form->RichBoxBackColorPanel->Color(), 0x000000u);
  EXPECT_FALSE(Form->PickColor(Form->DirTypeForeColorPanel, Qt::BackButton));
}

TEST_F(PagelumeColorsTest, SchemesColorTheWindowTheLabelsAndTheBox) {
  const struct {
    QPushButton *Button;
    TColorSlots Colors;
  } schemes[] = {{Form->SetLowStrainColorsButton, LowStrainColors},
                 {Form->SetLowLightColorsButton, LowLightColors},
                 {Form->SetHighLightColorsButton, HighLightColors}};
  for (const auto &s : schemes) {
    s.Button->click();
    EXPECT_EQ(Form->ColorSlots(), s.Colors);
    const QImage shot = Shot();
    EXPECT_EQ(shot.pixel(5, 5), ColorToQColor(s.Colors.ScreenBackColor).rgb());
    for (QLabel *label : {Form->HintLabel, Form->ClockLabel, Form->CurrentFileInfoLabel})
      EXPECT_EQ(label->palette().color(QPalette::WindowText), ColorToQColor(s.Colors.ScreenForeColor));
    EXPECT_EQ(shot.pixel(Form->RichEdit->geometry().center()), ColorToQColor(s.Colors.RichBoxBackColor).rgb());
  }
}

TEST_F(PagelumeColorsTest, RecoloringKeepsTheTopLineEmphasisAndModifiedFlag) {
  FillBook();
  Form->RichEdit->GotoLine(120);
  const int32_t top = Form->RichEdit->TopLine();
  ASSERT_GT(top, 50);
  Form->RichEdit->SetModified(false);
  const std::u16string text = Form->RichEdit->Text();
  const int32_t quoted = int32_t(text.find(u"quoted")), plain = int32_t(text.find(u"plain"));

  // Each change keeps the top line and the flag; the colours are read after
  // (reading selects, which scrolls).
  auto recolor = [&](const std::function<void(TPagelumeForm *, Qt::MouseButton)> &handler, uint32_t color) {
    Form->RichEdit->GotoLine(120);
    Form->ChooseSystemColor = [color](uint32_t &c) {
      c = color;
      return true;
    };
    handler(Form, Qt::RightButton);
    EXPECT_EQ(Form->RichEdit->TopLine(), top);
    EXPECT_FALSE(Form->RichEdit->Modified());
  };
  recolor(std::mem_fn(&TPagelumeForm::RichBoxForeColorPanelMouseUp), 0x112233);
  EXPECT_EQ(ColorAt(plain), 0x112233u);
  EXPECT_EQ(ColorAt(quoted), 0x820000u);  // emphasis kept over the new text colour

  // An emphasis change leaves the ordinary text alone.
  recolor(std::mem_fn(&TPagelumeForm::EmphaColorPanelMouseUp), 0x00AA00);
  EXPECT_EQ(ColorAt(quoted), 0x00AA00u);
  EXPECT_EQ(ColorAt(plain), 0x112233u);

  Form->RichEdit->GotoLine(120);
  Form->SetLowLightColorsButtonClick();
  EXPECT_EQ(Form->RichEdit->TopLine(), top);
  EXPECT_FALSE(Form->RichEdit->Modified());
  EXPECT_EQ(ColorAt(plain), LowLightColors.RichBoxForeColor);
  EXPECT_EQ(ColorAt(quoted), LowLightColors.EmphaColor);
}

TEST_F(PagelumeColorsTest, FrameAroundTheBoxInTheScreenTextColor) {
  const QRect box = Form->RichEdit->geometry();
  Form->SetLowStrainColorsButtonClick();
  EXPECT_EQ(Shot().pixel(box.left() - 1, box.top() - 1), ColorToQColor(LowStrainColors.ScreenBackColor).rgb());
  Form->ShowFrameCheckBox->click();
  QImage shot = Shot();
  const QRgb fore = ColorToQColor(LowStrainColors.ScreenForeColor).rgb();
  EXPECT_EQ(shot.pixel(box.left() - 1, box.top() - 1), fore);
  EXPECT_EQ(shot.pixel(box.right() + 1, box.center().y()), fore);
  EXPECT_EQ(shot.pixel(box.center().x(), box.bottom() + 1), fore);
  EXPECT_EQ(shot.pixel(box.left() - 2, box.top() - 2), ColorToQColor(LowStrainColors.ScreenBackColor).rgb());
  Form->ShowFrameCheckBox->click();
  EXPECT_EQ(Shot().pixel(box.left() - 1, box.top() - 1), ColorToQColor(LowStrainColors.ScreenBackColor).rgb());
}

TEST_F(PagelumeColorsTest, ScreenPictureTiledAndSeenThroughATransparentBox) {
  const QImage tile = Numbered(100, 50);
  ASSERT_TRUE(tile.save(Picture("DefaultScreen.bmp")));
  Form->IniScreenBackImage();
  ASSERT_EQ(Form->ScreenBackBitmap.size(), QSize(1024, 768));
  QImage shot = Shot();
  for (QPoint p : {QPoint(3, 4), QPoint(150, 730), QPoint(1020, 20)})
    EXPECT_EQ(shot.pixel(p), tile.pixel(p.x() % 100, p.y() % 50));

  // Transparent box, fade centre 50: the picture behind the box at half
  // brightness, aligned with the picture around it.
  Form->FadeCenterScreenBackImageComboBox->setCurrentText("50");
  Form->FadeCenterScreenBackImageComboBoxChange();
  Form->TransparentRichBackCheckBox->click();
  shot = Shot();
  const QPoint origin = Form->RichEdit->viewport()->mapTo(Form, QPoint(0, 0));
  for (QPoint p : {origin, origin + QPoint(37, 211), origin + QPoint(300, 400)}) {
    const QRgb behind = tile.pixel(p.x() % 100, p.y() % 50);
    EXPECT_NEAR(qRed(shot.pixel(p)), qRed(behind) / 2, 1) << p.x() << "," << p.y();
    EXPECT_NEAR(qGreen(shot.pixel(p)), qGreen(behind) / 2, 1);
  }
  // Left of the box the picture is undimmed.
  EXPECT_EQ(shot.pixel(origin.x() - 3, origin.y() + 5), tile.pixel((origin.x() - 3) % 100, (origin.y() + 5) % 50));

  // Without "Use", the plain colour shows and the box falls back to its colour.
  Form->UseScreenBackImageCheckBox->click();
  EXPECT_TRUE(Form->ScreenBackBitmap.isNull());
  EXPECT_TRUE(Form->ScreenCenterBitmap.isNull());
  shot = Shot();
  EXPECT_EQ(shot.pixel(3, 4), qRgb(255, 255, 255));
  EXPECT_EQ(shot.pixel(origin + QPoint(37, 211)), qRgb(255, 255, 255));
  EXPECT_TRUE(Errors.isEmpty());
}

// A layout or a profile switch asks for the pictures again: the same file
// and options keep the built picture, a file changed on disk is read again.
TEST_F(PagelumeColorsTest, PictureRebuiltOnlyWhenItsFileOrOptionsChange) {
  ASSERT_TRUE(Numbered(100, 50).save(Picture("DefaultScreen.bmp")));
  Form->IniScreenBackImage();
  const uchar *built = Form->ScreenBackBitmap.constBits();
  ASSERT_NE(built, nullptr);
  Form->IniScreenBackImage();
  EXPECT_EQ(Form->ScreenBackBitmap.constBits(), built);

  QImage changed = Numbered(100, 50);
  changed.fill(qRgb(10, 200, 30));
  ASSERT_TRUE(changed.save(Picture("DefaultScreen.bmp")));
  QFile file(Picture("DefaultScreen.bmp"));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
  file.close();
  Form->IniScreenBackImage();
  EXPECT_EQ(Shot().pixel(3, 4), qRgb(10, 200, 30));

  Form->FadeScreenBackImageComboBox->setCurrentText("50");
  Form->FadeScreenBackImageComboBoxChange();
  EXPECT_NEAR(qGreen(Shot().pixel(3, 4)), 100, 1);
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(PagelumeColorsTest, BoxPictureTiledFromItsCorner) {
  const QImage tile = Numbered(64, 40);
  ASSERT_TRUE(tile.save(Picture("DefaultRich.bmp")));
  Form->IniRichBackImage();
  ASSERT_EQ(Form->RichBackBitmap.size(), QSize(64, 40));
  const QImage shot = Shot();
  const QPoint origin = Form->RichEdit->viewport()->mapTo(Form, QPoint(0, 0));
  for (QPoint p : {QPoint(0, 0), QPoint(65, 41), QPoint(300, 500)})
    EXPECT_EQ(shot.pixel(origin + p), tile.pixel(p.x() % 64, p.y() % 40));
  // "Use" off: the box's own colour, although the picture is kept.
  Form->UseRichBackImageCheckBox->click();
  EXPECT_FALSE(Form->RichBackPictureShown());
  EXPECT_EQ(Shot().pixel(origin + QPoint(65, 41)), qRgb(255, 255, 255));
}

TEST_F(PagelumeColorsTest, BadPicturesLeaveThePlainColors) {
  Form->SetLowStrainColorsButtonClick();
  QFile text(Picture("DefaultScreen.bmp"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("not a picture");
  text.close();
  Form->IniScreenBackImage();
  EXPECT_EQ(Errors, QStringList({"Failed to load image."}));
  EXPECT_TRUE(Form->ScreenBackBitmap.isNull());
  EXPECT_EQ(Shot().pixel(5, 5), ColorToQColor(LowStrainColors.ScreenBackColor).rgb());
  // A vanished picture, a name that is no picture, an empty title: absent, and no message.
  Errors.clear();
  for (const QString &title : {QString("gone.png"), QString("notes.txt"), QString()}) {
    Form->TitleScreenBackImageEdit->setText(title);
    Form->IniScreenBackImage();
    EXPECT_TRUE(Form->ScreenBackBitmap.isNull());
  }
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(PagelumeColorsTest, ChangingThePictureStoresShortTitles) {
  ASSERT_TRUE(Numbered(20, 20).save(Picture("Stone.png")));
  QTemporaryDir elsewhere;
  const QString outside = QDir(elsewhere.path()).filePath("Far.png");
  ASSERT_TRUE(Numbered(30, 30).save(outside));
  QString started, filter;
  QString answer = Picture("Stone.png");
  Form->ChooseImageFile = [&](const QString &start, const QString &f) {
    started = start;
    filter = f;
    return answer;
  };
  Form->ChangeScreenBackImageButtonMouseDown(Qt::LeftButton, Qt::ControlModifier);
  EXPECT_EQ(QDir::cleanPath(started), QDir::cleanPath(QDir(Dir.path()).filePath("BackImages")));
  EXPECT_TRUE(filter.startsWith("Images (*.")) << filter.toStdString();
  EXPECT_EQ(Form->TitleScreenBackImageEdit->text(), "Stone.png");
  EXPECT_EQ(Form->ScreenBackBitmap.size(), QSize(1024, 768));

  answer = outside;
  Form->ChangeRichBackImageButtonMouseDown(Qt::LeftButton, Qt::NoModifier);
  EXPECT_EQ(started, Picture("DefaultRich.bmp").section('/', 0, -2) + "/");  // no such file: the images folder
  EXPECT_EQ(Form->TitleRichBackImageEdit->text(), outside);
  EXPECT_EQ(Form->RichBackBitmap.size(), QSize(30, 30));

  // Other buttons and a cancelled dialog change nothing.
  answer.clear();
  Form->ChangeRichBackImageButtonMouseDown(Qt::LeftButton, Qt::NoModifier);
  Form->ChangeRichBackImageButtonMouseDown(Qt::RightButton, Qt::NoModifier);
  EXPECT_EQ(Form->TitleRichBackImageEdit->text(), outside);
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(PagelumeColorsTest, ProfileFieldsLiveInTheControls) {
  ProfileSettings p;
  p.UseScreenBackImage = false;
  p.StretchScreenBackImage = true;
  p.FadeScreenBackImage = 40;
  p.GammaScreenBackImage = 250;
  p.FadeCenterScreenBackImage = 70;
  p.TitleScreenBackImage = "Stone.png";
  p.UseRichBackImage = false;
  p.StretchRichBackImage = true;
  p.FadeRichBackImage = 15;
  p.GammaRichBackImage = 5;
  p.TitleRichBackImage = "/elsewhere/Wood.jpg";
  p.TransparentRichBack = true;
  p.ShowRichBoxFrame = true;
  p.ScreenBackColor = LowLightColors.ScreenBackColor;
  p.ScreenForeColor = LowLightColors.ScreenForeColor;
  p.RichBoxBackColor = 0x102030;
  p.RichBoxForeColor = 0x405060;
  p.EmphaColor = 0x708090;
  p.SecondEmphaColor = 0x0A0B0C;
  p.BrowserFocusBackColor = 1;
  p.BrowserFocusForeColor = 2;
  p.DirTypeBackColor = 3;
  p.DirTypeForeColor = 4;
  Form->Profile = p;
  Form->ShowProfile();
  EXPECT_EQ(Form->FadeCenterScreenBackImageComboBox->currentText(), "70");
  EXPECT_EQ(Form->GammaRichBackImageComboBox->currentText(), "5");
  EXPECT_EQ(Form->TitleRichBackImageEdit->text(), "/elsewhere/Wood.jpg");
  EXPECT_TRUE(Form->TransparentRichBackCheckBox->isChecked());
  EXPECT_EQ(Form->DirTypeForeColorPanel->Color(), 4u);
  // The screen and box colours take effect at once; the swatch defaults stay.
  EXPECT_EQ(Shot().pixel(5, 5), qRgb(0, 0, 0));
  EXPECT_EQ(Form->ClockLabel->palette().color(QPalette::WindowText), ColorToQColor(LowLightColors.ScreenForeColor));
  EXPECT_EQ(Form->RichEdit->palette().color(QPalette::Base), ColorToQColor(0x102030));
  EXPECT_EQ(Form->RichBoxBackColorPanel->DefaultColor(), 0xFFFFFFu);

  // Gathered back unchanged; a list with no value gathers its default.
  Form->Profile = ProfileSettings();
  EXPECT_EQ(Form->CurrentProfile(), [&] {
    ProfileSettings q = p;
    q.EnhanceText = Form->Profile.EnhanceText;
    return q;
  }());
  Form->FadeRichBackImageComboBox->setCurrentIndex(-1);
  EXPECT_EQ(Form->CurrentProfile().FadeRichBackImage, 0);
}

// The shipped pictures are translucent dark grain: every scheme keeps its own
// hue, dimmed just enough that a page of a real book reads at 7 : 1 or more,
// also in "Low strain", whose own colours give 3.95 : 1.
TEST_F(PagelumeColorsTest, ShippedPicturesKeepEverySchemeLegible) {
  for (const QFileInfo &shipped : QDir(QString(PAGELUME_SOURCE_DIR) + "/data/BackImages").entryInfoList(QDir::Files))
    ASSERT_TRUE(QFile::copy(shipped.filePath(), Picture(shipped.fileName())));
  QFile book(QDir(Dir.path()).filePath("Page.txt"));
  ASSERT_TRUE(book.open(QIODevice::WriteOnly));
  book.write("The map they carried came from http://www.gutenberg.org/ebooks/ and was older than any of them.\n\n");
  for (int i = 0; i < 20; ++i)
    book.write("The road ran north for twelve miles through the low hills, and the travellers kept to it for "
               "three days before they saw the river.\n\n");
  book.close();
  ASSERT_TRUE(Form->Loader->OpenBook(book.fileName(), false));
  // The stored titles of the pictures are those of the bitmaps they once were.
  EXPECT_EQ(Form->TitleScreenBackImageEdit->text(), "DefaultScreen.bmp");
  EXPECT_EQ(Form->TitleRichBackImageEdit->text(), "DefaultRich.bmp");
  const struct {
    QPushButton *Button;
    TColorSlots Colors;
  } schemes[] = {{Form->SetHighLightColorsButton, HighLightColors},
                 {Form->SetLowStrainColorsButton, LowStrainColors},
                 {Form->SetLowLightColorsButton, LowLightColors}};
  const QRect box(Form->RichEdit->viewport()->mapTo(Form, QPoint(0, 0)), Form->RichEdit->viewport()->size());
  const QRect corner(box.topLeft() + QPoint(1, 1), QSize(8, 8)), desk(0, 0, 16, 16);
  for (const auto &s : schemes) {
    s.Button->click();
    ASSERT_FALSE(Form->RichBackBitmap.isNull());
    ASSERT_FALSE(Form->ScreenBackBitmap.isNull());
    const QImage shot = Shot();
    const double contrast = TextContrast(shot, box.adjusted(10, 10, -10, -10));
    std::printf("%s: body text %.2f : 1\n", qPrintable(s.Button->text()), contrast);
    EXPECT_GE(contrast, 7) << s.Button->text().toStdString();
    // Each channel of the box is the scheme's, dimmed by less than half: the
    // picture neither replaces the scheme's colour nor tints it.
    const QColor page = MeanColor(shot, corner), slot = ColorToQColor(s.Colors.RichBoxBackColor);
    for (const auto &[got, own] : {std::pair(page.red(), slot.red()), std::pair(page.green(), slot.green()),
                                   std::pair(page.blue(), slot.blue())}) {
      EXPECT_LE(got, own + 4) << s.Button->text().toStdString();
      EXPECT_GE(got, own / 2) << s.Button->text().toStdString();
    }
    // Links are legible on the dimmed page, not only on the scheme's colour.
    const uint32_t link = FirstLinkColor(*Form->RichEdit->document());
    ASSERT_NE(link, 0xFFFFFFFFu);
    EXPECT_GE(ContrastRatio(link, Rgb(page.red(), page.green(), page.blue())), 4.5) << s.Button->text().toStdString();
    // The desk around the page is darker still, or as dark in "Low light".
    EXPECT_LE(MeanLuminance(shot, desk), RelativeLuminance(s.Colors.ScreenBackColor) + 0.02);
    EXPECT_LE(MeanLuminance(shot, desk), MeanLuminance(shot, corner) + 0.02) << s.Button->text().toStdString();
  }
  EXPECT_TRUE(Errors.isEmpty());
}

// Links take a colour legible on the box, and the window's own widgets turn
// dark with a dark screen.
TEST_F(PagelumeColorsTest, LinksAndWidgetsFollowTheScheme) {
  Form->RichEdit->AppendParagraph(u"Books are at http://www.gutenberg.org/ebooks/ for everyone.");
  for (int i = 0; i < 200; ++i)
    Form->RichEdit->AppendParagraph(u"More text.");
  Form->ShowSidebar(false);
  Form->Container_MainPanel->show();
  auto linkColor = [&] { return FirstLinkColor(*Form->RichEdit->document()); };
  const QRect bar = Form->RichEdit->verticalScrollBar()->geometry().translated(Form->RichEdit->pos());
  const QRect panel = Form->Container_MainPanel->geometry();
  for (QPushButton *button : {Form->SetLowLightColorsButton, Form->SetLowStrainColorsButton,
                              Form->SetHighLightColorsButton, Form->SetLowLightColorsButton}) {
    button->click();
    const uint32_t back = Form->RichBoxBackColorPanel->Color();
    ASSERT_NE(linkColor(), 0xFFFFFFFFu);
    EXPECT_GE(ContrastRatio(linkColor(), back), 4.5) << button->text().toStdString();
    const QImage shot = Shot();
    const bool dark = button == Form->SetLowLightColorsButton;
    EXPECT_EQ(MeanLuminance(shot, bar) < 0.15, dark) << button->text().toStdString();
    EXPECT_EQ(MeanLuminance(shot, panel) < 0.15, dark) << button->text().toStdString();
  }
  // A box colour of the reader's own also gives its links a legible colour.
  Form->ChooseSystemColor = [](uint32_t &c) {
    c = Rgb(0, 0, 140);
    return true;
  };
  Form->RichBoxBackColorPanelMouseUp(Qt::RightButton);
  EXPECT_GE(ContrastRatio(linkColor(), Rgb(0, 0, 140)), 4.5);
}

// Allowing editing keeps the look of the page: the box's picture, the text's
// left edge and the scroll bars; no horizontal scroll bar
// under wrapped text in either view.
TEST_F(PagelumeColorsTest, EditingLooksLikeReading) {
  ASSERT_TRUE(Numbered(64, 40).save(Picture("DefaultRich.bmp")));
  QFile book(QDir(Dir.path()).filePath("Page.txt"));
  ASSERT_TRUE(book.open(QIODevice::WriteOnly));
  for (int i = 0; i < 30; ++i)
    book.write("The water was wide and slow, and the ferryman asked forty shillings for the crossing.\n\n");
  book.close();
  ASSERT_TRUE(Form->Loader->OpenBook(book.fileName(), false));
  Form->RichEdit->SetMargins(12, 7);
  const QRect box = Form->RichEdit->viewport()->geometry().translated(Form->RichEdit->pos());
  // The leftmost column of the text (any pixel much darker than the picture).
  auto left = [](const QImage &page) {
    int found = page.width();
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < found; ++x)
        if (qGray(page.pixel(x, y)) < 40)
          found = x;
    return found;
  };
  const QImage reading = Shot().copy(box);
  EXPECT_FALSE(Form->RichEdit->horizontalScrollBar()->isVisible());
  const QPoint bar = Form->RichEdit->verticalScrollBar()->mapTo(Form->RichEdit, QPoint(0, 0));

  Form->AllowEditingCheckBox->click();
  ASSERT_FALSE(Form->RichEdit->ReadOnly());
  const QImage editing = Shot().copy(box);
  // The picture in the left margin, where no text is.
  for (QPoint p : {QPoint(3, 5), QPoint(7, 300), QPoint(10, box.height() - 4)})
    EXPECT_EQ(editing.pixel(p), reading.pixel(p)) << p.y();
  EXPECT_LT(left(reading), box.width() / 4);
  EXPECT_EQ(left(editing), left(reading));
  for (QScrollBar *scroll : Form->RichEdit->findChildren<QScrollBar *>()) {
    if (scroll->orientation() == Qt::Horizontal) {
      EXPECT_FALSE(scroll->isVisible());
    } else if (scroll->isVisible()) {
      EXPECT_EQ(scroll->mapTo(Form->RichEdit, QPoint(0, 0)), bar);
    }
  }
}
