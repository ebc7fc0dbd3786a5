// The main window's background pictures: the screen picture (fitted and tiled,
// or stretched), its darker copy behind a transparent reading box, and the
// reading box's own tiled picture, with their options on the profile's "Misc" tab.
#include "PagelumeDialog.h"

#include "BookLoader.h"
#include "ColorDialog.h"
#include "ColorSchemes.h"
#include "Error.h"
#include "File.h"
#include "MediaTitle.h"
#include "MyGDIPlus.h"
#include "ProfileSettings.h"
#include "Program.h"
#include "RTF.h"
#include "Utilities.h"
#include "UtilitiesQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QStringList Numbers(std::initializer_list<int> values) {
  QStringList items;
  for (int v : values)
    items << QString::number(v);
  return items;
}

QStringList FadeItems() { return Numbers({0, 5, 10, 15, 20, 25, 30, 40, 50, 60, 70, 80, 90, 100}); }
QStringList FadeCenterItems() { return Numbers({0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}); }
QStringList GammaItems() {
  QStringList items = Numbers({1, 5, 10, 15, 20, 25, 30});
  for (int v = 40; v <= 200; v += 10)
    items << QString::number(v);
  items << Numbers({250, 300, 350, 400, 450, 500, 600, 700, 800, 900, 1000});
  return items;
}

int32_t ReadOption(const QComboBox *box, int32_t minimum, int32_t maximum, int32_t defaultValue) {
  return GetIntFromText(box->currentText().toStdString(), minimum, maximum, defaultValue);
}

const char *const ChangeImageHint =
    "Change the image. Click [Ctrl + LMB] to open the default images directory. Click [Shift + LMB] to open the "
    "parent directory of the currently opened book.";


// Everything a background picture is built from, as one text: the file (with
// its size and time, so that a changed file is read again), the area, and the
// options.
QString PictureSource(const QString &path, QSize area, bool stretch, std::initializer_list<int32_t> options,
                      const QColor &under) {
  const QFileInfo file(path);
  QString source = path + '|' + QString::number(file.size()) + '|' +
                   QString::number(file.lastModified().toMSecsSinceEpoch()) + '|' + QString::number(area.width()) +
                   'x' + QString::number(area.height()) + (stretch ? "|s" : "|t") + '|' + under.name(QColor::HexArgb);
  for (int32_t option : options)
    source += '|' + QString::number(option);
  return source;
}

}  // namespace

void TPagelumeForm::BuildImageOptions() {
  auto *page = static_cast<QVBoxLayout *>(ProfileMiscTabSheet->layout());
  auto check = [](QWidget *parent, const char *name, const QString &caption, bool checked, const QString &hint) {
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setChecked(checked);
    box->setStatusTip(hint);
    return box;
  };
  auto list = [](QWidget *parent, const char *name, const QStringList &items, const QString &selected,
                 const QString &hint) {
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setCurrentIndex(box->findText(selected));
    box->setStatusTip(hint);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(3);
    return box;
  };
  auto titleRow = [](QWidget *parent, const char *editName, const char *changeName, const char *runName,
                     QLineEdit *&edit, QPushButton *&change, QPushButton *&run) {
    auto *row = new QHBoxLayout;
    edit = new QLineEdit(parent);
    edit->setObjectName(editName);
    edit->setReadOnly(true);
    edit->setMaxLength(259);
    edit->setStatusTip("The image file: a name in the profile's directory or in the images directory, or a full path");
    change = new QPushButton("...", parent);
    change->setObjectName(changeName);
    change->setStatusTip(ChangeImageHint);
    change->setFixedWidth(26);
    run = new QPushButton("Run", parent);
    run->setObjectName(runName);
    run->setStatusTip("Open the image with its associated program");
    run->setFixedWidth(36);
    row->addWidget(edit, 1);
    row->addWidget(change);
    row->addWidget(run);
    return row;
  };
  auto labelled = [](QGridLayout *grid, int r, int c, const QString &caption, QComboBox *box) {
    grid->addWidget(new QLabel(caption), r, c);
    grid->addWidget(box, r, c + 1);
  };

  // ---- Screen ----
  ScreenBackImageGroupBox = new QGroupBox("Screen background image", ProfileMiscTabSheet);
  ScreenBackImageGroupBox->setObjectName("ScreenBackImageGroupBox");
  ScreenBackImageGroupBox->setStatusTip("The picture shown on the screen around the rich-box");
  {
    QWidget *g = ScreenBackImageGroupBox;
    auto *grid = new QGridLayout(g);
    grid->setContentsMargins(5, 5, 5, 5);
    grid->setVerticalSpacing(3);
    UseScreenBackImageCheckBox = check(g, "UseScreenBackImageCheckBox", "Use background image", true,
                                       "Show the picture on the screen instead of the plain screen color");
    StretchScreenBackImageCheckBox = check(g, "StretchScreenBackImageCheckBox", "Stretch", false,
                                           "Stretch the picture over the whole screen instead of repeating it");
    FadeScreenBackImageComboBox = list(g, "FadeScreenBackImageComboBox", FadeItems(), "0",
                                       "Darken the picture by this percent (0 = not at all, 100 = black)");
    GammaScreenBackImageComboBox = list(g, "GammaScreenBackImageComboBox", GammaItems(), "100",
                                        "Gamma of the picture in percent: above 100 brightens, below 100 darkens");
    FadeCenterScreenBackImageComboBox =
        list(g, "FadeCenterScreenBackImageComboBox", FadeCenterItems(), "0",
             "Darken by this percent the part of the picture seen through a transparent rich-box");
    grid->addWidget(UseScreenBackImageCheckBox, 0, 0, 1, 2);
    grid->addWidget(StretchScreenBackImageCheckBox, 1, 0, 1, 2);
    labelled(grid, 2, 0, "Fade (%)", FadeScreenBackImageComboBox);
    labelled(grid, 3, 0, "Gamma (%)", GammaScreenBackImageComboBox);
    labelled(grid, 4, 0, "Fade center (%)", FadeCenterScreenBackImageComboBox);
    grid->addLayout(titleRow(g, "TitleScreenBackImageEdit", "ChangeScreenBackImageButton",
                             "RunScreenBackImageButton", TitleScreenBackImageEdit, ChangeScreenBackImageButton,
                             RunScreenBackImageButton),
                    5, 0, 1, 2);
  }
  TitleScreenBackImageEdit->setText("DefaultScreen.bmp");
  page->insertWidget(0, ScreenBackImageGroupBox);

  // ---- Reading box ----
  RichBackImageGroupBox = new QGroupBox("Rich-box background image", ProfileMiscTabSheet);
  RichBackImageGroupBox->setObjectName("RichBackImageGroupBox");
  RichBackImageGroupBox->setStatusTip("The picture shown behind the text of the rich-box");
  {
    QWidget *g = RichBackImageGroupBox;
    auto *grid = new QGridLayout(g);
    grid->setContentsMargins(5, 5, 5, 5);
    grid->setVerticalSpacing(3);
    UseRichBackImageCheckBox = check(g, "UseRichBackImageCheckBox", "Use background image", true,
                                     "Show the picture behind the text instead of the plain rich-box color");
    StretchRichBackImageCheckBox = check(g, "StretchRichBackImageCheckBox", "Stretch", false,
                                         "Stretch the picture over the whole rich-box instead of repeating it");
    FadeRichBackImageComboBox = list(g, "FadeRichBackImageComboBox", FadeItems(), "0",
                                     "Darken the picture by this percent (0 = not at all, 100 = black)");
    GammaRichBackImageComboBox = list(g, "GammaRichBackImageComboBox", GammaItems(), "100",
                                      "Gamma of the picture in percent: above 100 brightens, below 100 darkens");
    TransparentRichBackCheckBox =
        check(g, "TransparentRichBackCheckBox", "Transparent background", false,
              "Show through the rich-box the screen picture behind it (darkened by \"Fade center\")");
    grid->addWidget(UseRichBackImageCheckBox, 0, 0, 1, 2);
    grid->addWidget(StretchRichBackImageCheckBox, 1, 0, 1, 2);
    labelled(grid, 2, 0, "Fade (%)", FadeRichBackImageComboBox);
    labelled(grid, 3, 0, "Gamma (%)", GammaRichBackImageComboBox);
    grid->addWidget(TransparentRichBackCheckBox, 4, 0, 1, 2);
    grid->addLayout(titleRow(g, "TitleRichBackImageEdit", "ChangeRichBackImageButton", "RunRichBackImageButton",
                             TitleRichBackImageEdit, ChangeRichBackImageButton, RunRichBackImageButton),
                    5, 0, 1, 2);
  }
  TitleRichBackImageEdit->setText("DefaultRich.bmp");
  page->insertWidget(1, RichBackImageGroupBox);
  page->addStretch(1);

  connect(UseScreenBackImageCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::UseScreenBackImageCheckBoxClick);
  connect(StretchScreenBackImageCheckBox, &QCheckBox::clicked, this,
          &TPagelumeForm::StretchScreenBackImageCheckBoxClick);
  connect(FadeScreenBackImageComboBox, &QComboBox::activated, this,
          &TPagelumeForm::FadeScreenBackImageComboBoxChange);
  connect(GammaScreenBackImageComboBox, &QComboBox::activated, this,
          &TPagelumeForm::GammaScreenBackImageComboBoxChange);
  connect(FadeCenterScreenBackImageComboBox, &QComboBox::activated, this,
          &TPagelumeForm::FadeCenterScreenBackImageComboBoxChange);
  connect(TitleScreenBackImageEdit, &QLineEdit::editingFinished, this, &TPagelumeForm::TitleScreenBackImageEditExit);
  IgnoreDoubleClicks(ChangeScreenBackImageButton);
  IgnoreDoubleClicks(ChangeRichBackImageButton);
  connect(ChangeScreenBackImageButton, &QPushButton::pressed, this, [this] {
    ChangeScreenBackImageButtonMouseDown(Qt::LeftButton, QGuiApplication::keyboardModifiers());
  });
  connect(RunScreenBackImageButton, &QPushButton::clicked, this, &TPagelumeForm::RunScreenBackImageButtonClick);
  connect(UseRichBackImageCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::UseRichBackImageCheckBoxClick);
  connect(StretchRichBackImageCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::StretchRichBackImageCheckBoxClick);
  connect(FadeRichBackImageComboBox, &QComboBox::activated, this, &TPagelumeForm::FadeRichBackImageComboBoxChange);
  connect(GammaRichBackImageComboBox, &QComboBox::activated, this, &TPagelumeForm::GammaRichBackImageComboBoxChange);
  connect(TitleRichBackImageEdit, &QLineEdit::editingFinished, this, &TPagelumeForm::TitleRichBackImageEditExit);
  connect(ChangeRichBackImageButton, &QPushButton::pressed, this, [this] {
    ChangeRichBackImageButtonMouseDown(Qt::LeftButton, QGuiApplication::keyboardModifiers());
  });
  connect(RunRichBackImageButton, &QPushButton::clicked, this, &TPagelumeForm::RunRichBackImageButtonClick);
  connect(TransparentRichBackCheckBox, &QCheckBox::clicked, this, &TPagelumeForm::TransparentRichBackCheckBoxClick);

  ChooseImageFile = [this](const QString &start, const QString &filter) {
    return QFileDialog::getOpenFileName(this, "Open an image", start, filter);
  };
  RichEdit->BackgroundShown = [this] { return RichBackPictureShown(); };
  RichEdit->PaintBackground = [this](QPainter &painter, const QRect &area) { PaintRichBackground(painter, area); };
}

// ---- Rebuilding the pictures ----

void TPagelumeForm::IniScreenBackImage(TDecodedPicture *shared) {
  if (ProfileListLoading())
    return;
  OP_BEGIN("TPagelumeForm::IniScreenBackImage");
  OP_TRY {
    const QString path = ResolveMediaTitle(TitleScreenBackImageEdit->text(), BackImagesDir());
    QString source;
    if (UseScreenBackImageCheckBox->isChecked() && !path.isEmpty() && MatchesPictureFilter(path, PictureFilter) &&
        QFileInfo(path).isFile() && width() > 0 && height() > 0) {
      const int32_t fade = ReadOption(FadeScreenBackImageComboBox, 0, 100, 0);
      const int32_t fadeCenter = ReadOption(FadeCenterScreenBackImageComboBox, 0, 100, 0);
      const int32_t gamma = ReadOption(GammaScreenBackImageComboBox, 1, 1000, 100);
      const bool stretch = StretchScreenBackImageCheckBox->isChecked();
      const QColor under = ColorToQColor(ScreenBackColorPanel->Color());
      source = PictureSource(path, size(), stretch, {fade, fadeCenter, gamma}, under);
      if (source != ScreenBackSource || ScreenBackBitmap.isNull()) {
        ScreenBackBitmap = ScreenCenterBitmap = QImage();
        ScreenBackSource.clear();
        QImage a, b;
        // A translucent picture shows the screen colour through it.
        if (LoadPictureToBitmap(path, width(), height(), stretch, false, fade, fadeCenter, gamma, a, b, shared,
                                under)) {
          ScreenBackBitmap = TilePicture(a, width(), height());
          // Equal fades give equal pictures: the copy shares the pixels.
          ScreenCenterBitmap = fade == fadeCenter ? ScreenBackBitmap : TilePicture(b, width(), height());
          ScreenBackSource = source;
        } else {
          OP_ADOPT();
        }
      }
    }
    if (source.isEmpty()) {
      ScreenBackBitmap = ScreenCenterBitmap = QImage();
      ScreenBackSource.clear();
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to load image.");
  SetWindowBackColor();
}

void TPagelumeForm::IniRichBackImage(TDecodedPicture *shared) {
  if (ProfileListLoading())
    return;
  OP_BEGIN("TPagelumeForm::IniRichBackImage");
  OP_TRY {
    const QString path = ResolveMediaTitle(TitleRichBackImageEdit->text(), BackImagesDir());
    // The box's client area: its viewport, known before the box is first shown.
    const QSize client = RichEdit->maximumViewportSize();
    QString source;
    if (!path.isEmpty() && MatchesPictureFilter(path, PictureFilter) && QFileInfo(path).isFile() &&
        !client.isEmpty()) {
      const int32_t fade = ReadOption(FadeRichBackImageComboBox, 0, 100, 0);
      const int32_t gamma = ReadOption(GammaRichBackImageComboBox, 1, 1000, 100);
      const bool stretch = StretchRichBackImageCheckBox->isChecked();
      const QColor under = ColorToQColor(RichBoxBackColorPanel->Color());
      source = PictureSource(path, client, stretch, {fade, 0, gamma}, under);
      if (source != RichBackSource || RichBackBitmap.isNull()) {
        RichBackBitmap = QImage();
        RichBackSource.clear();
        QImage a, b;
        if (LoadPictureToBitmap(path, client.width(), client.height(), stretch, false, fade, 0, gamma, a, b, shared,
                                under)) {
          RichBackBitmap = a;
          RichBackSource = source;
        } else {
          OP_ADOPT();
        }
      }
    }
    if (source.isEmpty()) {
      RichBackBitmap = QImage();
      RichBackSource.clear();
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to load image.");
}

void TPagelumeForm::RebuildBackImages() {
  // One decoding serves both pictures when they come from the same file.
  TDecodedPicture shared;
  IniScreenBackImage(&shared);
  IniRichBackImage(&shared);
  FollowBoxTone();
}

void TPagelumeForm::InitBackImages() {
  RebuildBackImages();
  RepaintScreen();
}

bool TPagelumeForm::RichBackPictureShown() const {
  if (TransparentRichBackCheckBox->isChecked())
    return !ScreenCenterBitmap.isNull();
  return !RichBackBitmap.isNull() && UseRichBackImageCheckBox->isChecked();
}

void TPagelumeForm::PaintRichBackground(QPainter &painter, const QRect &area) {
  if (TransparentRichBackCheckBox->isChecked()) {
    // The part of the screen picture that lies behind the box, pixel for pixel.
    const QPoint origin = RichEdit->viewport()->mapTo(this, QPoint(0, 0));
    painter.drawImage(area.topLeft(), ScreenCenterBitmap, area.translated(origin));
    return;
  }
  const int tw = RichBackBitmap.width(), th = RichBackBitmap.height();
  if (tw < 1 || th < 1)
    return;
  // Only the tiles that meet the area.
  for (int y = (area.top() / th) * th; y <= area.bottom(); y += th)
    for (int x = (area.left() / tw) * tw; x <= area.right(); x += tw)
      painter.drawImage(QPoint(x, y), RichBackBitmap);
}

// ---- Repaints ----

void TPagelumeForm::RepaintScreen() {
  FollowBoxTone();
  update();
  RichEdit->viewport()->update();
  DrawRichBoxFrame();
}

void TPagelumeForm::RepaintRichBox() {
  FollowBoxTone();
  RichEdit->viewport()->update();
  DrawRichBoxFrame();
}

// ---- Handlers ----

void TPagelumeForm::UseScreenBackImageCheckBoxClick() {
  IniScreenBackImage();
  RepaintScreen();
  RichEdit->setFocus();
}

void TPagelumeForm::StretchScreenBackImageCheckBoxClick() {
  IniScreenBackImage();
  RepaintScreen();
  RichEdit->setFocus();
}

void TPagelumeForm::FadeScreenBackImageComboBoxChange() {
  IniScreenBackImage();
  RepaintScreen();
}

void TPagelumeForm::GammaScreenBackImageComboBoxChange() {
  IniScreenBackImage();
  RepaintScreen();
}

void TPagelumeForm::FadeCenterScreenBackImageComboBoxChange() {
  IniScreenBackImage();
  RepaintScreen();
}

void TPagelumeForm::UseRichBackImageCheckBoxClick() {
  IniRichBackImage();
  RepaintRichBox();
  RichEdit->setFocus();
}

void TPagelumeForm::StretchRichBackImageCheckBoxClick() {
  IniRichBackImage();
  RepaintRichBox();
  RichEdit->setFocus();
}

void TPagelumeForm::FadeRichBackImageComboBoxChange() {
  IniRichBackImage();
  RepaintRichBox();
}

void TPagelumeForm::GammaRichBackImageComboBoxChange() {
  IniRichBackImage();
  RepaintRichBox();
}

void TPagelumeForm::TransparentRichBackCheckBoxClick() {
  RepaintRichBox();
  RichEdit->setFocus();
}

void TPagelumeForm::TitleScreenBackImageEditExit() {
  TitleScreenBackImageEdit->setText(MakeMediaTitle(TitleScreenBackImageEdit->text(), BackImagesDir()));
  IniScreenBackImage();
  RepaintScreen();
}

void TPagelumeForm::TitleRichBackImageEditExit() {
  TitleRichBackImageEdit->setText(MakeMediaTitle(TitleRichBackImageEdit->text(), BackImagesDir()));
  IniRichBackImage();
  RepaintRichBox();
}

void TPagelumeForm::ChangeBackImage(QLineEdit *titleEdit, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  if (button != Qt::LeftButton)
    return;
  OP_BEGIN("TPagelumeForm::ChangeBackImage");
  OP_TRY {
    QString start;
    const Qt::KeyboardModifiers keys = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (keys == Qt::ControlModifier)
      start = WithSeparator(BackImagesDir()) + "*";
    else if (keys == Qt::ShiftModifier && !Loader->State.Path.empty())
      start = WithSeparator(FilePath(PathText(Loader->State.Path))) + "*";
    else  // also Shift with no book open
      start = ResolveMediaTitle(titleEdit->text(), BackImagesDir());
    // The toolkit's dialog wants a directory or a file, not a pattern.
    if (start.endsWith('*'))
      start.chop(1);
    const QString filter = "Images (" + QString(PictureFilter).replace(';', ' ') + ")";
    const QString chosen = ChooseImageFile ? ChooseImageFile(start, filter) : QString();
    if (!chosen.isEmpty()) {
      titleEdit->setText(MakeMediaTitle(chosen, BackImagesDir()));
      if (titleEdit == TitleScreenBackImageEdit) {
        IniScreenBackImage();
        RepaintScreen();
      } else {
        IniRichBackImage();
        RepaintRichBox();
      }
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to change image.");
  RichEdit->setFocus();
}

void TPagelumeForm::ChangeScreenBackImageButtonMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  ChangeBackImage(TitleScreenBackImageEdit, button, modifiers);
}

void TPagelumeForm::ChangeRichBackImageButtonMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  ChangeBackImage(TitleRichBackImageEdit, button, modifiers);
}

void TPagelumeForm::RunBackImage(QLineEdit *titleEdit) {
  OP_BEGIN("TPagelumeForm::RunBackImage");
  OP_TRY {
    RunFile(ResolveMediaTitle(titleEdit->text(), BackImagesDir()), QString(), QString(), false, false);
    OP_ADOPT();
  }
  OP_CATCH;
  OP_SHOW("Failed to run image.");
}

void TPagelumeForm::RunScreenBackImageButtonClick() { RunBackImage(TitleScreenBackImageEdit); }
void TPagelumeForm::RunRichBackImageButtonClick() { RunBackImage(TitleRichBackImageEdit); }

void TPagelumeForm::StartGdiPlus() { PictureFilter = GetPictureExtensionsAsFilter(); }

// ---- The profile's colour and picture fields ----

namespace {
void ShowNumber(QComboBox *box, int32_t value) {
  // A value the list does not offer shows no value (and reads as the default).
  box->setCurrentIndex(box->findText(QString::number(value)));
}
void ShowCheck(QCheckBox *box, bool checked) { box->setChecked(checked); }
}  // namespace

void TPagelumeForm::ShowProfileColors() {
  const ProfileSettings &p = Profile;
  ShowCheck(UseScreenBackImageCheckBox, p.UseScreenBackImage);
  ShowCheck(StretchScreenBackImageCheckBox, p.StretchScreenBackImage);
  ShowNumber(FadeScreenBackImageComboBox, p.FadeScreenBackImage);
  ShowNumber(GammaScreenBackImageComboBox, p.GammaScreenBackImage);
  ShowNumber(FadeCenterScreenBackImageComboBox, p.FadeCenterScreenBackImage);
  ShowCheck(UseRichBackImageCheckBox, p.UseRichBackImage);
  ShowCheck(StretchRichBackImageCheckBox, p.StretchRichBackImage);
  ShowNumber(FadeRichBackImageComboBox, p.FadeRichBackImage);
  ShowNumber(GammaRichBackImageComboBox, p.GammaRichBackImage);
  ShowCheck(TransparentRichBackCheckBox, p.TransparentRichBack);
  ShowBackImageTitles();
  ShowCheck(ShowFrameCheckBox, p.ShowRichBoxFrame);
  // The colours; the window, its labels, the lists and the reading box take
  // theirs at once (the pictures are rebuilt after the load).
  SetColorSlots(TColorSlots{p.RichBoxBackColor, p.RichBoxForeColor, p.EmphaColor, p.SecondEmphaColor, p.BrowserFocusBackColor,
                 p.BrowserFocusForeColor, p.DirTypeBackColor, p.DirTypeForeColor, p.ScreenBackColor,
                 p.ScreenForeColor});
  ApplyScreenAndBoxColors();
}

void TPagelumeForm::CollectProfileColors() {
  ProfileSettings &p = Profile;
  auto number = [](const QComboBox *box, const TProfileIntOption &option) {
    return option.Normalise(GetIntFromText(box->currentText().toStdString(), option.Minimum, option.Maximum,
                                           option.Default));
  };
  p.UseScreenBackImage = UseScreenBackImageCheckBox->isChecked();
  p.StretchScreenBackImage = StretchScreenBackImageCheckBox->isChecked();
  p.FadeScreenBackImage = number(FadeScreenBackImageComboBox, ProfileOptions::FadeScreenBackImage);
  p.GammaScreenBackImage = number(GammaScreenBackImageComboBox, ProfileOptions::GammaScreenBackImage);
  p.FadeCenterScreenBackImage = number(FadeCenterScreenBackImageComboBox, ProfileOptions::FadeCenterScreenBackImage);
  p.TitleScreenBackImage = TitleScreenBackImageEdit->text().toStdString();
  p.UseRichBackImage = UseRichBackImageCheckBox->isChecked();
  p.StretchRichBackImage = StretchRichBackImageCheckBox->isChecked();
  p.FadeRichBackImage = number(FadeRichBackImageComboBox, ProfileOptions::FadeRichBackImage);
  p.GammaRichBackImage = number(GammaRichBackImageComboBox, ProfileOptions::GammaRichBackImage);
  p.TitleRichBackImage = TitleRichBackImageEdit->text().toStdString();
  p.TransparentRichBack = TransparentRichBackCheckBox->isChecked();
  p.ShowRichBoxFrame = ShowFrameCheckBox->isChecked();
  const TColorSlots c = ColorSlots();
  p.ScreenBackColor = c.ScreenBackColor;
  p.ScreenForeColor = c.ScreenForeColor;
  p.RichBoxBackColor = c.RichBoxBackColor;
  p.RichBoxForeColor = c.RichBoxForeColor;
  p.EmphaColor = c.EmphaColor;
  p.SecondEmphaColor = c.SecondEmphaColor;
  p.BrowserFocusBackColor = c.BrowserFocusBackColor;
  p.BrowserFocusForeColor = c.BrowserFocusForeColor;
  p.DirTypeBackColor = c.DirTypeBackColor;
  p.DirTypeForeColor = c.DirTypeForeColor;
}

void TPagelumeForm::ShowBackImageTitles() {
  TitleScreenBackImageEdit->setText(QString::fromStdString(Profile.TitleScreenBackImage));
  TitleRichBackImageEdit->setText(QString::fromStdString(Profile.TitleRichBackImage));
}
