// The main window reading the book aloud: the "Read aloud" button, the voice's
// rate and volume on the profile's "Misc" tab, the cases that stop the voice,
// and the background sounds kept quiet while it speaks.
#include "PagelumeDialog.h"

#include "BackSounds.h"
#include "BookLoader.h"
#include "ReadAloud.h"
#include "ReadingKeys.h"
#include "RTF.h"
#include "SidebarControls.h"
#include "SpeechEngine.h"
#include "Utilities.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

const char *const TPagelumeForm::ReadAloudHint =
    "Read the book aloud, from the first sentence that begins on the top line; the page follows the voice. "
    "Click again to stop. [F9] (stop: [F9] or [Esc])";
const char *const TPagelumeForm::NoSpeechHint =
    "Reading aloud needs the desktop's speech service, which does not answer. Install the packages "
    "speech-dispatcher, speech-dispatcher-espeak-ng and qt6-speech-speechd-plugin, then start the program "
    "again.";

namespace {

const char *const ReadAloudCaption = "&Read aloud";
const char *const StopReadingCaption = "Stop &reading";

int32_t OptionValue(const QComboBox *list, const TProfileIntOption &option) {
  return GetIntFromText(list->currentText().toStdString(), option.Minimum, option.Maximum, option.Default);
}

QStringList OptionItems(const TProfileIntOption &option) {
  QStringList items;
  for (const std::string &item : option.Items())
    items << QString::fromStdString(item);
  return items;
}

}  // namespace

void TPagelumeForm::BuildSpeechControls() {
  ReadAloudButton = NewButton(BookGroupBox, "ReadAloudButton", ReadAloudCaption, ReadAloudHint);
  static_cast<QVBoxLayout *>(BookGroupBox->layout())->addWidget(ReadAloudButton);
  connect(ReadAloudButton, &QPushButton::clicked, this, &TPagelumeForm::ReadAloudButtonClick);

  SpeechGroupBox = new QGroupBox("Reading aloud", ProfileMiscTabSheet);
  SpeechGroupBox->setObjectName("SpeechGroupBox");
  SpeechGroupBox->setStatusTip("The voice that reads the book aloud [F9]");
  using namespace ProfileOptions;
  SpeechRateComboBox = NewList(SpeechGroupBox, "SpeechRateComboBox", OptionItems(SpeechRate),
                               QString::number(SpeechRate.Default),
                               "How fast the book is read aloud: from -10 (slowest) to 10 (fastest); 0 is the "
                               "voice's usual pace");
  SpeechVolumeComboBox = NewList(SpeechGroupBox, "SpeechVolumeComboBox", OptionItems(SpeechVolume),
                                 QString::number(SpeechVolume.Default),
                                 "How loud the book is read aloud, in percent of the voice's full volume");
  auto *grid = new QGridLayout(SpeechGroupBox);
  AddCaptionedLists(grid, SpeechGroupBox,
                    {{"Speech rate", SpeechRateComboBox}, {"Speech volume (%)", SpeechVolumeComboBox}});
  // Above the stretch that closes the page.
  auto *page = static_cast<QVBoxLayout *>(ProfileMiscTabSheet->layout());
  page->insertWidget(std::max(page->count() - 1, 0), SpeechGroupBox);
}

void TPagelumeForm::CreateSpeech() {
  BuildSpeechControls();
  TReadAloudHost host;
  host.Language = [this] { return BookLanguage(); };
  host.Rate = [this] { return OptionValue(SpeechRateComboBox, ProfileOptions::SpeechRate); };
  host.Volume = [this] { return OptionValue(SpeechVolumeComboBox, ProfileOptions::SpeechVolume); };
  host.NextPiece = [this] {
    const int32_t current = Loader->State.CurrentPiece;
    if (current < 1 || current >= Loader->State.PieceCount())
      return false;
    return Loader->LoadFromFile(QString(), current + 1, false, 0);
  };
  host.SpeakingChanged = [this](bool speaking) {
    UpdateReadAloudButton();
    if (Sounds)
      Sounds->Pause(speaking, !isMinimized() && !Closing);
  };
  host.SentenceStarted = [this](int32_t) { UpdateAutoBookmark(true); };
  host.VoiceLost = [this] { UpdateReadAloudButton(); };
  Speech = new TReadAloud(RichEdit, std::move(host), this);

  // Every load stops the voice but the one that goes on into the next piece,
  // and nothing of the new text has been said.
  Loader->Host.LoadStarting = [this] {
    if (!Speech->AdvancingPiece())
      StopReading();
    Speech->Forget();
  };
  Reading->Callouts.ReadAloudClick = [this] { ReadAloudButtonClick(); };
  Reading->Callouts.StopReading = [this] { return StopReading(); };
  UpdateReadAloudButton();
}

QString TPagelumeForm::BookLanguage() const {
  // The language guessed from the book's opening, else the system's.
  if (!Loader->State.Language.empty())
    return QString::fromStdString(Loader->State.Language);
  const QLocale system = QLocale::system();
  if (system.language() == QLocale::C || system.language() == QLocale::AnyLanguage)
    return QString();
  return system.name().section('_', 0, 0);
}

void TPagelumeForm::ReadAloudButtonClick() {
  Speech->Toggle();
  RichEdit->setFocus();
}

bool TPagelumeForm::StopReading() {
  if (!Speech || !Speech->Speaking())
    return false;
  Speech->Stop();
  return true;
}

void TPagelumeForm::UpdateReadAloudButton() {
  const bool available = Speech->Available();
  ReadAloudButton->setEnabled(available);
  ReadAloudButton->setText(Speech->Speaking() ? StopReadingCaption : ReadAloudCaption);
  ReadAloudButton->setStatusTip(available ? ReadAloudHint : NoSpeechHint);
  ReadAloudButton->setToolTip(available ? QString() : QString(NoSpeechHint));
}

int32_t TPagelumeForm::ReadingPlace() {
  const int32_t spoken = Speech ? Speech->SentenceStart() : -1;
  if (spoken >= 0 && !RichEdit->isHidden() && RichEdit->PositionShown(spoken))
    return spoken;
  return RichEdit->TopPosition();
}

void TPagelumeForm::ShowProfileSpeech() {
  SpeechRateComboBox->setCurrentText(QString::number(Profile.SpeechRate));
  SpeechVolumeComboBox->setCurrentText(QString::number(Profile.SpeechVolume));
}

void TPagelumeForm::CollectProfileSpeech() {
  Profile.SpeechRate = OptionValue(SpeechRateComboBox, ProfileOptions::SpeechRate);
  Profile.SpeechVolume = OptionValue(SpeechVolumeComboBox, ProfileOptions::SpeechVolume);
}
