// The main window's background sounds: the "Background sound" group of the
// profile's "Misc" page, its handlers, the one-second step, minimise and
// restore, and the sound of every newly opened book.
#include "PagelumeDialog.h"

#include "BackSounds.h"
#include "BookLoader.h"
#include "Error.h"
#include "File.h"
#include "MediaTitle.h"
#include "Myrandom.h"
#include "Program.h"
#include "RTF.h"
#include "SidebarControls.h"
#include "SoundModule.h"
#include "UtilitiesQt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

const char *const TPagelumeForm::SoundFilter = "Sound (*.wav *.wave)";

namespace {
QStringList VolumeItems() { return NumberItems(0, 50, 5) + NumberItems(60, 100, 10) + NumberItems(150, 1000, 50); }
QStringList DurationItems() {
  return NumberItems(1, 10, 1) + NumberItems(15, 100, 5) + NumberItems(150, 300, 50);
}
QStringList ProbabilityItems() {
  return NumberItems(1, 10, 1) + NumberItems(15, 100, 5) + NumberItems(150, 300, 50) + NumberItems(400, 1000, 100);
}

// Selects the item showing the number, or none when no item does.
void SelectNumber(QComboBox *list, int32_t value) {
  QSignalBlocker block(list);
  list->setCurrentIndex(list->findText(QString::number(value)));
}

// Calls back on one kind of event of the control it watches; a consumed
// event goes no further.
class TEventHook : public QObject {
public:
  TEventHook(QWidget *control, QEvent::Type type, bool consume, std::function<void(QEvent *)> onEvent)
      : QObject(control), Type(type), Consume(consume), OnEvent(std::move(onEvent)) {
    control->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() != Type)
      return false;
    OnEvent(event);
    return Consume;
  }

private:
  QEvent::Type Type;
  bool Consume;
  std::function<void(QEvent *)> OnEvent;
};

}  // namespace

// ---- Construction ----

void TPagelumeForm::CreateBackSounds() {
  QPoint pointer = QCursor::pos();
  Random.Initialize(pointer.x(), pointer.y());
  SoundOutput = NewSoundOutput();
  Sounds = std::make_unique<TBackSounds>(SoundOutput.get());
  Sounds->Loading = [this] { return ProfileListLoading(); };
  Sounds->ResolveTitle = [this](const std::string &title) {
    return ResolveSoundTitle(QString::fromStdString(title)).toStdString();
  };
  Sounds->Start();
  BuildBackSoundControls();
}

void TPagelumeForm::BuildBackSoundControls() {
  BackSoundGroupBox = new QGroupBox("Background sound", ProfileMiscTabSheet);
  BackSoundGroupBox->setObjectName("BackSoundGroupBox");
  BackSoundGroupBox->setStatusTip(
      "Setup the sound to be played as audio background during the reading of the book");
  auto *group = new QVBoxLayout(BackSoundGroupBox);

  auto *checks = new QHBoxLayout;
  UseBackSoundCheckBox = NewCheck(
      BackSoundGroupBox, "UseBackSoundCheckBox", "Use sound", false,
      "Use background sound. The sounds are replayed every time the status of this box is changed.");
  RandomBackSoundCheckBox = NewCheck(
      BackSoundGroupBox, "RandomBackSoundCheckBox", "Random", true,
      "Randomly play the sounds. If this is unchecked, sounds are played in order, the specified duration. If "
      "there is only one sound, it is played continuously (regardless of its duration).");
  checks->addWidget(UseBackSoundCheckBox);
  checks->addWidget(RandomBackSoundCheckBox);
  group->addLayout(checks);

  auto *title = new QHBoxLayout;
  TitleBackSoundEdit = new QLineEdit(BackSoundGroupBox);
  TitleBackSoundEdit->setObjectName("TitleBackSoundEdit");
  TitleBackSoundEdit->setReadOnly(true);
  TitleBackSoundEdit->setText(TSoundList::DefaultTitle);
  TitleBackSoundEdit->setStatusTip("File title of sound; the default sound is not distributed with the program. "
                                   "The sounds are replayed every time this box loses focus.");
  new TEventHook(TitleBackSoundEdit, QEvent::FocusOut, false, [this](QEvent *) { TitleBackSoundEditExit(); });
  ChangeBackSoundButton = NewButton(
      BackSoundGroupBox, "ChangeBackSoundButton", "...",
      "Change the sound. Click [Ctrl + LMB] to open the default sounds directory. Click [Shift + LMB] to open "
      "the parent directory of the currently opened book.");
  ChangeBackSoundButton->setFixedWidth(28);
  HandlePresses(ChangeBackSoundButton, [this](QMouseEvent *press) {
    ChangeBackSoundButtonMouseDown(press->button(), press->modifiers());
  });
  RunBackSoundButton =
      NewButton(BackSoundGroupBox, "RunBackSoundButton", "Run", "Open the sound with the associated program");
  RunBackSoundButton->setFixedWidth(40);
  title->addWidget(TitleBackSoundEdit, 1);
  title->addWidget(ChangeBackSoundButton);
  title->addWidget(RunBackSoundButton);
  group->addLayout(title);

  auto *grid = new QGridLayout;
  VolumeBackSoundComboBox =
      NewList(BackSoundGroupBox, "VolumeBackSoundComboBox", VolumeItems(), "50",
                 "Set the volume of the sound. The volume can be changed by another program but will be reset at "
                 "some point.");
  DurationBackSoundComboBox = NewList(
      BackSoundGroupBox, "DurationBackSoundComboBox", DurationItems(), "5",
      "When \"Random\" is not checked, the sound is played this amount of time, then the next sound will be "
      "played (and so forth, circularly). If \"Random\" is checked, the sound is played at least this amount of "
      "time.");
  ProbabilityBackSoundComboBox = NewList(
      BackSoundGroupBox, "ProbabilityBackSoundComboBox", ProbabilityItems(), "100",
      "When \"Random\" is checked, this is the probability (= parts from sum of all probabilities) for the sound "
      "to occur after any sound finished playing");
  AddCaptionedLists(grid, BackSoundGroupBox,
                    {{"Volume (1/1000)", VolumeBackSoundComboBox},
                     {"Duration (seconds)", DurationBackSoundComboBox},
                     {"Probability (parts)", ProbabilityBackSoundComboBox}});
  group->addLayout(grid);

  auto *layout = static_cast<QVBoxLayout *>(ProfileMiscTabSheet->layout());
  layout->addWidget(BackSoundGroupBox);
  layout->addStretch(1);

  connect(UseBackSoundCheckBox, &QCheckBox::clicked, this, [this] { UseBackSoundCheckBoxClick(); });
  connect(RandomBackSoundCheckBox, &QCheckBox::toggled, this,
          [this](bool checked) { Sounds->List.Random = checked; });
  connect(VolumeBackSoundComboBox, &QComboBox::currentIndexChanged, this,
          [this] { VolumeBackSoundComboBoxChange(); });
  connect(DurationBackSoundComboBox, &QComboBox::currentIndexChanged, this,
          [this] { DurationBackSoundComboBoxChange(); });
  connect(ProbabilityBackSoundComboBox, &QComboBox::currentIndexChanged, this,
          [this] { ProbabilityBackSoundComboBoxChange(); });
  connect(RunBackSoundButton, &QPushButton::clicked, this, [this] { RunBackSoundButtonClick(); });
}

// ---- Titles ----

QString TPagelumeForm::SoundsDir() const { return BackSoundsDir(); }

QString TPagelumeForm::ResolveSoundTitle(const QString &title) const { return ResolveMediaTitle(title, SoundsDir()); }

// ---- The list and its controls ----

void TPagelumeForm::SoundListToControls() {
  const TSoundList &list = Sounds->List;
  {
    QSignalBlocker a(UseBackSoundCheckBox), b(RandomBackSoundCheckBox);
    UseBackSoundCheckBox->setChecked(list.Use);
    RandomBackSoundCheckBox->setChecked(list.Random);
  }
  TitleBackSoundEdit->setText(QString::fromStdString(list.Titles[0]));
  SelectNumber(VolumeBackSoundComboBox, list.Volumes[0]);
  SelectNumber(DurationBackSoundComboBox, list.Durations[0]);
  SelectNumber(ProbabilityBackSoundComboBox, list.Weights[0]);
}

// ---- The profile's sounds ----

void TPagelumeForm::ShowProfileSounds() {
  const TProfileBackSounds &stored = Profile.BackSounds;
  TSoundList &list = Sounds->List;
  list.Use = stored.Use;
  list.Random = stored.Random;
  list.Count = std::clamp<int32_t>(stored.Count, 1, TSoundList::MaxCount);
  for (int32_t i = 0; i < TSoundList::MaxCount; ++i) {
    list.Titles[i] = stored.File[i];
    list.Volumes[i] = stored.Vol[i];
    list.Durations[i] = stored.Dur[i];
    list.Weights[i] = stored.Prob[i];
  }
  if (list.Current >= list.Count)
    list.Current = -1;
  SoundListToControls();
}

void TPagelumeForm::CollectProfileSounds() {
  TSoundList &list = Sounds->List;
  list.Use = UseBackSoundCheckBox->isChecked();
  list.Random = RandomBackSoundCheckBox->isChecked();
  list.Titles[0] = TitleBackSoundEdit->text().toStdString();
  TProfileBackSounds &stored = Profile.BackSounds;
  stored.Use = list.Use;
  stored.Random = list.Random;
  stored.Count = list.Count;
  for (int32_t i = 0; i < TSoundList::MaxCount; ++i) {
    stored.File[i] = list.Titles[i];
    stored.Vol[i] = list.Volumes[i];
    stored.Dur[i] = list.Durations[i];
    stored.Prob[i] = list.Weights[i];
  }
}

void TPagelumeForm::PlaySoundAt(int32_t index) { Sounds->PlaySoundAt(index); }

void TPagelumeForm::ApplyFirstSound(const QString &titleText) {
  TSoundList &list = Sounds->List;
  list.Use = UseBackSoundCheckBox->isChecked();
  list.Random = RandomBackSoundCheckBox->isChecked();
  if (list.Count < 1) {
    PlaySoundAt(-1);
    return;
  }
  TitleBackSoundEdit->setText(MakeMediaTitle(titleText, SoundsDir()));
  list.Titles[0] = TitleBackSoundEdit->text().toStdString();
  PlaySoundAt(0);
}

// ---- Handlers ----

void TPagelumeForm::UseBackSoundCheckBoxClick() { ApplyFirstSound(TitleBackSoundEdit->text()); }

void TPagelumeForm::TitleBackSoundEditExit() { ApplyFirstSound(TitleBackSoundEdit->text()); }

void TPagelumeForm::VolumeBackSoundComboBoxChange() {
  const int32_t volume = GetIntFromEdit(VolumeBackSoundComboBox, 0, 1000, 50);
  Sounds->SetFirstVolume(volume);
}

void TPagelumeForm::DurationBackSoundComboBoxChange() {
  Sounds->List.Durations[0] = GetIntFromEdit(DurationBackSoundComboBox, 1, 500, 5);
}

void TPagelumeForm::ProbabilityBackSoundComboBoxChange() {
  Sounds->List.Weights[0] = GetIntFromEdit(ProbabilityBackSoundComboBox, 1, 1000, 100);
}

void TPagelumeForm::ChangeBackSoundButtonMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  if (button != Qt::LeftButton)
    return;
  OP_BEGIN("TPagelumeForm::ChangeBackSoundButtonMouseDown");
  OP_TRY {
    const TShiftState shift = ShiftStateFromQt(modifiers, Qt::NoButton, false);
    QString start;
    if (IsOnlyShift(shift, ssCtrl))
      start = SoundsDir() + "*";
    else if (IsOnlyShift(shift, ssShift))
      start = WithSeparator(FilePath(PathText(Loader->State.Path))) + "*";
    else
      start = ResolveSoundTitle(TitleBackSoundEdit->text());
    const QString chosen = ChooseSoundFile ? ChooseSoundFile(start)
                                           : QFileDialog::getOpenFileName(this, "Change the sound",
                                                                          start.endsWith('*') ? FilePath(start) : start,
                                                                          SoundFilter);
    if (!chosen.isEmpty())
      ApplyFirstSound(chosen);
  }
  OP_CATCH;
  RichEdit->setFocus();
  OP_SHOW("");
}

void TPagelumeForm::RunBackSoundButtonClick() {
  OP_BEGIN("TPagelumeForm::RunBackSoundButtonClick");
  OP_TRY {
    if (!RunFile(ResolveSoundTitle(TitleBackSoundEdit->text()), QString(), QString(), false, false))
      OP_RAISE("Failed to run sound.");
  }
  OP_CATCH;
  OP_SHOW("Failed to run sound.");
}

// ---- Call-outs ----

void TPagelumeForm::StopSounds() {
  if (Sounds)
    Sounds->Stop();
}

void TPagelumeForm::PlayCurrentSound() {
  if (Sounds)
    PlaySoundAt(Sounds->List.Current);
}

void TPagelumeForm::BackSoundStep() {
  if (Sounds)
    Sounds->TimerStep();
}

void TPagelumeForm::ExitSounds() {
  if (Sounds)
    Sounds->Exit();
}
