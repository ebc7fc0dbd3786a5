// The main window's profiles: the profile list bound to the current profile
// file, reading and writing the profile through it, finding a book's profile
// by place, the automatic saves, media titles against the current profile,
// and the "Work" group with "Load", "Save" and "Delete".
#include "PagelumeDialog.h"

#include "BookLoader.h"
#include "BookText.h"
#include "Dialogs.h"
#include "Error.h"
#include "File.h"
#include "FormatOptions.h"
#include "MediaTitle.h"
#include "Program.h"
#include "ProfileSettings.h"
#include "RTF.h"
#include "StoredTextList.h"
#include "UtilitiesQt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char *const LoadProfileHint =
    "Load a profile. Click [Ctrl + LMB] to load a profile from the default directory for profiles. Click [Shift + "
    "LMB] to load a profile from the parent directory of the currently opened book. The currently opened book is "
    "reopened every time you load a profile.";
const char *const SaveProfileHint =
    "Save the current profile with the desired name. Click [Ctrl + LMB] to save the current profile in the default "
    "directory for profiles. Click [Shift + LMB] to save the current profile as profile for the whole explored "
    "directory (to be automatically opened when you open any book from it and from its immediate children "
    "directories). Click [Alt + LMB] to save the current profile as profile for the currently opened book (to be "
    "automatically opened when you open the book).";
const char *const DeleteProfileHint =
    "Delete a profile. Click [Ctrl + LMB] to delete a profile from the default directory for profiles. Click "
    "[Shift + LMB] to delete a profile from the parent directory of the currently opened book. Deleting the current "
    "profile has no effect because it will be automatically saved.";
const char *const ProfilePagesHint =
    "All options from these tabs are saved into a profile, so that they can be reloaded the next time you open the "
    "same book. Profiles are automatically saved, so be careful when you load a different profile (because that "
    "will be saved).";
const char *const ProfilesFilter = "Profiles (*.plp)";
const char *const InvalidExtensionText = "Invalid file extensions.";

// Which of the four initial files a modifier set chooses.
enum class TProfileChoice { None, Current, Default, BookDirectory, BookProfile };

TProfileChoice ChoiceFor(TShiftState shift, bool altMeansBook, bool othersAsAlt) {
  if (IsNoShift(shift))
    return TProfileChoice::Current;
  if (IsOnlyShift(shift, ssCtrl))
    return TProfileChoice::Default;
  if (IsOnlyShift(shift, ssShift))
    return TProfileChoice::BookDirectory;
  if (altMeansBook && (IsOnlyShift(shift, ssAlt) || othersAsAlt))
    return TProfileChoice::BookProfile;
  return TProfileChoice::None;
}

bool HasProfileExtension(const QString &path) {
  return path.endsWith(QLatin1String(ProfileExtension), Qt::CaseInsensitive);
}

// Selects the item equal to text (letter case ignored), or no item.
void SelectItem(QComboBox *box, const QString &text) {
  QSignalBlocker block(box);
  box->setCurrentIndex(box->findText(text, Qt::MatchFixedString));
}

void SelectNumber(QComboBox *box, int32_t value) { SelectItem(box, QString::number(value)); }

void SetChecked(QCheckBox *box, bool checked) {
  QSignalBlocker block(box);
  box->setChecked(checked);
}

// A pipe or device of the name is no profile: it would block the read.
bool IsFile(const QString &path) { return IsRegularFile(path); }

std::string Std(const QString &text) { return text.toStdString(); }
QString Q(const std::string &text) { return QString::fromStdString(text); }

}  // namespace

QString ProfilePathOfBook(const QString &book) {
  const QString name = FileName(book);
  const qsizetype dot = name.lastIndexOf('.');
  const QString base = dot < 0 ? book : book.left(book.size() - name.size() + dot);
  return base + QLatin1String(ProfileExtension);
}

// ---- Construction ----

void TPagelumeForm::BuildProfileWorkGroup() {
  WorkGroupBox = new QGroupBox("Work", ProfileGeneralTabSheet);
  WorkGroupBox->setObjectName("WorkGroupBox");
  auto *row = new QHBoxLayout(WorkGroupBox);
  auto addButton = [&](const char *name, const QString &caption, const char *hint,
                       void (TPagelumeForm::*handler)(TShiftState)) {
    auto *button = new QPushButton(caption, WorkGroupBox);
    button->setObjectName(name);
    button->setStatusTip(hint);
    button->setToolTip(hint);
    // Left presses act, with the keyboard modifiers held (the button itself not counted).
    HandlePresses(button, [this, handler](QMouseEvent *press) {
      if (press->button() == Qt::LeftButton)
        (this->*handler)(ShiftStateFromQt(press->modifiers(), Qt::NoButton, false));
    });
    // The mouse press never reaches the button, so a click comes only from
    // the keyboard (Space): it acts like a left press with the keys held.
    connect(button, &QPushButton::clicked, this, [this, handler] {
      (this->*handler)(ShiftStateFromQt(QApplication::keyboardModifiers(), Qt::NoButton, false));
    });
    row->addWidget(button);
    return button;
  };
  LoadProfileButton = addButton("LoadProfileButton", "Load", LoadProfileHint,
                                &TPagelumeForm::LoadProfileButtonMouseDown);
  SaveProfileButton = addButton("SaveProfileButton", "Save", SaveProfileHint,
                                &TPagelumeForm::SaveProfileButtonMouseDown);
  DeleteProfileButton = addButton("DeleteProfileButton", "Delete", DeleteProfileHint,
                                  &TPagelumeForm::DeleteProfileButtonMouseDown);
  // Above the stretch that ends the page.
  auto *layout = static_cast<QVBoxLayout *>(ProfileGeneralTabSheet->layout());
  layout->insertWidget(layout->count() - 1, WorkGroupBox);
  // The profile pages' hint: in the hint label over the pages, and as the
  // tool tip of their tabs (not of every control on them).
  ProfileTabSheet->setStatusTip(ProfilePagesHint);
  Container_OptionsPageControl->setTabToolTip(Container_OptionsPageControl->indexOf(ProfileTabSheet), ProfilePagesHint);
  for (int tab = 0; tab < ProfilePageControl->count(); ++tab)
    ProfilePageControl->setTabToolTip(tab, ProfilePagesHint);
}

TStoredTextList &TPagelumeForm::ProfileListOrNew() {
  if (!ProfileList) {
    ProfileList = std::make_unique<TStoredTextList>(Std(DefaultProfilePath()));
    ProfileList->OnLoad = [this](TStoredTextList &list) { LoadProfile(list); };
    ProfileList->OnSave = [this](TStoredTextList &list) { SaveProfile(list); };
  }
  return *ProfileList;
}

void TPagelumeForm::CreateProfileList() { ProfileListOrNew(); }

void TPagelumeForm::LoadProfileList() {
  if (!LoadProfileFile(CurrentProfilePath()))
    ShowProfileFailure("TPagelumeForm::LoadProfileList");
}

bool TPagelumeForm::ProfileListLoading() const { return ProfileList && ProfileList->Loading; }

// ---- Where profiles are ----

QString TPagelumeForm::DefaultProfilePath() const { return SettingsDir() + QLatin1String(DefaultProfileFileName); }

QString TPagelumeForm::CurrentProfilePath() const {
  return ProfileList ? Q(ProfileList->FileName) : DefaultProfilePath();
}

QString TPagelumeForm::ResolveMediaTitle(const QString &title, const QString &mediaDirectory) const {
  return ::ResolveMediaTitle(title, mediaDirectory, FilePath(FullPath(CurrentProfilePath())));
}

QString TPagelumeForm::MakeMediaTitle(const QString &path, const QString &mediaDirectory) const {
  return ::MakeMediaTitle(path, mediaDirectory, MediaProfileDir(CurrentProfilePath(), DefaultProfilePath()));
}

// ---- The record and the controls ----

void TPagelumeForm::ShowProfile() {
  const ProfileSettings &p = Profile;
  SetChecked(EnhanceTextCheckBox, p.EnhanceText);
  SetChecked(PoorlyWrittenCheckBox, p.PoorlyWritten);
  SetChecked(IgnoreEmptyLinesCheckBox, p.IgnoreEmptyLines);

  TFormatOptionsPanel *f = FormatOptions;
  SelectNumber(f->LeftMarginComboBox, p.LeftMargin);
  f->LeftMarginComboBoxChange();
  SelectNumber(f->RightMarginComboBox, p.RightMargin);
  f->RightMarginComboBoxChange();
  SetChecked(f->BoldFontCheckBox, p.BoldFont);
  TFormatOptionsPanel::SetBoldAll(RichEdit, p.BoldFont);
  SetChecked(f->JustifiedTextCheckBox, p.JustifiedText);
  SelectItem(f->FontNameComboBox, Q(p.FontName));
  f->FontNameComboBoxChange();
  SelectNumber(f->FontSizeComboBox, p.FontSize);
  f->FontSizeComboBoxChange();
  SelectNumber(f->FontZoomComboBox, p.FontZoom);
  f->FontZoomComboBoxChange();
  SelectNumber(f->CharSpacingComboBox, p.CharSpacing);
  f->CharSpacingComboBoxChange();
  SelectNumber(f->LineSpacingComboBox, p.LineSpacing);
  SelectNumber(f->FirstLineIndentComboBox, p.FirstLineIndent);
  SelectNumber(f->SpaceAfterComboBox, p.SpaceAfter);
  SelectItem(f->ParagraphPrefixComboBox, Q(p.ParagraphPrefix));
  SetChecked(f->HyphenationCheckBox, p.Hyphenation);
  f->ApplyHyphenation();

  ShowProfileColors();
  ShowProfileSounds();
  ShowProfileSpeech();
}

const ProfileSettings &TPagelumeForm::CurrentProfile() {
  ProfileSettings &p = Profile;
  p.EnhanceText = EnhanceTextCheckBox->isChecked();
  p.PoorlyWritten = PoorlyWrittenCheckBox->isChecked();
  p.IgnoreEmptyLines = IgnoreEmptyLinesCheckBox->isChecked();
  const TFormatOptionsPanel *f = FormatOptions;
  p.LeftMargin = ProfileOptions::LeftMargin.Normalise(f->LeftMargin());
  p.RightMargin = ProfileOptions::RightMargin.Normalise(f->RightMargin());
  p.BoldFont = f->BoldFont();
  p.JustifiedText = f->JustifiedText();
  p.FontName = Std(f->FontName());
  p.FontSize = ProfileOptions::FontSize.Normalise(f->FontSize());
  p.FontZoom = ProfileOptions::FontZoom.Normalise(f->FontZoom());
  p.CharSpacing = ProfileOptions::CharSpacing.Normalise(f->CharSpacing());
  p.LineSpacing = ProfileOptions::LineSpacing.Normalise(f->LineSpacing());
  p.FirstLineIndent = ProfileOptions::FirstLineIndent.Normalise(f->FirstLineIndent());
  p.SpaceAfter = ProfileOptions::SpaceAfter.Normalise(f->SpaceAfter());
  const QString prefix = f->ParagraphPrefix();
  p.ParagraphPrefix = prefix.isEmpty() ? ProfileSettings().ParagraphPrefix : Std(prefix);
  p.Hyphenation = f->Hyphenation();
  CollectProfileColors();
  CollectProfileSounds();
  CollectProfileSpeech();
  return Profile;
}

// Call-outs of the colour, picture and sound units: until they bind controls
// to their fields, those fields live in Profile alone.

// ---- The list's callbacks ----

void TPagelumeForm::LoadProfile(TStoredTextList &list) {
  // Every option is read with its default; when the read fails on the way
  // (a colour text that is no colour), the options read so far are shown with
  // their new values and the rest keep theirs, and the failure goes on to the
  // list, which reports it.
  ProfileSettings next = CurrentProfile();
  try {
    ReadProfileSettings(list, next);
  } catch (...) {
    Profile = next;
    ShowProfile();
    throw;
  }
  Profile = next;
  ShowProfile();
}

void TPagelumeForm::SaveProfile(TStoredTextList &list) {
  const ProfileSettings &p = CurrentProfile();
  WriteProfileSettings(list, p, [this](const std::string &title, bool sound) {
    return Std(MakeMediaTitle(Q(title), sound ? BackSoundsDir() : BackImagesDir()));
  });
}

// ---- Finding a book's profile ----

bool TPagelumeForm::LoadProfileFile(const QString &path) {
  // The profile being left reaches its file before another one is read.
  if (ProfileList && !ProfileList->PendingFileName().empty() && ProfileList->PendingFileName() != Std(path))
    WriteKeptProfile();
  const bool loaded = ProfileListOrNew().Load(Std(path));
  ProfileLoadFailed = !loaded && FileExists(path);
  return loaded;
}

bool TPagelumeForm::AutoSaveCurrentProfile(bool later) {
  if (!AutoSaveProfileOn() || !ProfileList)
    return true;
  // A profile whose file could not be read is not overwritten by whatever the
  // options hold now.
  if (ProfileLoadFailed)
    return true;
  return later ? ProfileList->SaveLater() : ProfileList->Save(false);
}

void TPagelumeForm::WriteKeptProfile() {
  KeptProfileWriteQueued = false;
  if (ProfileList && !ProfileList->WritePending())
    ShowProfileFailure("TPagelumeForm::ResolveProfile");
}

void TPagelumeForm::ShowProfileFailure(const char *operation) {
  // The profile list's own report ("Failed to load file.", "Failed to save
  // file."), shown here so that the operation goes on.
  if (!FunStatContext.Failed())
    return;
  TFunStatContext report = FunStatContext;
  FunStatContext.Reset();
  report.SetShow(__FILE__, operation, __LINE__);
  report.ShowError(report.Description);
}

void TPagelumeForm::ResolveProfile(const QString &book, bool keepCurrent) {
  ProfileResolved = true;
  ProfileListOrNew();
  // The profile being left is written once the new page is painted: the
  // safe save's waits for the disk do not come before the page.
  if (!keepCurrent && !AutoSaveCurrentProfile(true))
    ShowProfileFailure("TPagelumeForm::ResolveProfile");  // the book still opens
  const QString directory = FilePath(FullPath(book));
  const QString parent = directory.size() > 1 ? FilePath(directory.left(directory.size() - 1)) : QString();
  QStringList candidates;
  candidates << (keepCurrent ? CurrentProfilePath() : ProfilePathOfBook(FullPath(book)));
  candidates << directory + QLatin1String(DefaultProfileFileName);
  if (!parent.isEmpty())
    candidates << parent + QLatin1String(DefaultProfileFileName);
  QString found = DefaultProfilePath();  // read as the defaults when it does not exist
  for (const QString &candidate : candidates)
    if (IsFile(candidate) || Std(candidate) == ProfileList->PendingFileName()) {
      found = candidate;
      break;
    }
  if (!LoadProfileFile(found))
    ShowProfileFailure("TPagelumeForm::ResolveProfile");
  RebuildBackImages();
}

void TPagelumeForm::SaveProfileAtExit() {
  if (!AutoSaveCurrentProfile())
    ShowProfileFailure("TPagelumeForm::SaveProfileAtExit");
}

// ---- The "Work" group ----

QString TPagelumeForm::ProfileInitialFile(int choice) const {
  const QString book = Loader ? Q(Loader->State.Path) : QString();
  switch (static_cast<TProfileChoice>(choice)) {
  case TProfileChoice::Current: return CurrentProfilePath();
  case TProfileChoice::Default: return DefaultProfilePath();
  case TProfileChoice::BookDirectory:
    return book.isEmpty() ? QString() : FilePath(book) + QLatin1String(DefaultProfileFileName);
  case TProfileChoice::BookProfile: return book.isEmpty() ? QString() : ProfilePathOfBook(book);
  case TProfileChoice::None: break;
  }
  return QString();
}

QString TPagelumeForm::AskProfileFile(const QString &caption, const QString &initialFile, bool save) {
  if (ChooseProfileFile)
    return ChooseProfileFile(caption, initialFile, save);
  return save ? QFileDialog::getSaveFileName(this, caption, initialFile, ProfilesFilter, nullptr,
                                             QFileDialog::DontConfirmOverwrite)
              : QFileDialog::getOpenFileName(this, caption, initialFile, ProfilesFilter);
}

void TPagelumeForm::LoadProfileButtonMouseDown(TShiftState shift) {
  OP_BEGIN("TPagelumeForm::LoadProfileButtonMouseDown");
  auto work = [&] {
    const TProfileChoice choice = ChoiceFor(shift, false, false);
    if (choice == TProfileChoice::None)
      return;
    const QString file = AskProfileFile("Load profile", ProfileInitialFile(int(choice)), false);
    if (file.isEmpty())
      return;
    if (!AutoSaveCurrentProfile())
      ShowProfileFailure("TPagelumeForm::LoadProfileButtonMouseDown");
    if (!HasProfileExtension(file)) {
      Warning(InvalidExtensionText);
      return;
    }
    const QString book = Q(Loader->State.Path);
    // With no book to reopen the chosen profile would never be read: the
    // binding stays, so that no automatic save writes into the chosen file.
    if (book.isEmpty() || !IsFile(book)) {
      Warning(NotValidBookText);
      return;
    }
    const auto previous = ProfileListOrNew().FileName;
    const bool previousFailed = ProfileLoadFailed;
    ProfileList->FileName = Std(FullPath(file));
    ProfileLoadFailed = false;
    ProfileResolved = false;
    const int32_t position = RichEdit->TopPosition();
    Loader->LoadFromFile(book, std::max(1, Loader->State.CurrentPiece), true, position);
    if (!ProfileResolved) {  // the book was not read again (an empty file): the profile was not read either
      ProfileList->FileName = previous;
      ProfileLoadFailed = previousFailed;
    }
    ProfileResolved = true;
  };
  OP_TRY { work(); }
  OP_CATCH;
  OP_SHOW("Failed to load profile.");
  RichEdit->setFocus();
}

void TPagelumeForm::SaveProfileButtonMouseDown(TShiftState shift) {
  OP_BEGIN("TPagelumeForm::SaveProfileButtonMouseDown");
  auto work = [&] {
    const TProfileChoice choice = ChoiceFor(shift, true, true);
    // Picture titles become full paths, so that they are shortened again
    // against the new profile's folder. A title that names no file keeps its
    // name (its resolution would name no file either).
    CurrentProfile();
    bool changed = false;
    for (std::string *title : {&Profile.TitleScreenBackImage, &Profile.TitleRichBackImage}) {
      const QString resolved = ResolveMediaTitle(Q(*title), BackImagesDir());
      if (IsFile(resolved) && resolved != Q(*title)) {
        *title = Std(resolved);
        changed = true;
      }
    }
    if (changed)
      ShowBackImageTitles();
    const QString file = AskProfileFile("Save profile", ProfileInitialFile(int(choice)), true);
    if (file.isEmpty())
      return;
    if (!HasProfileExtension(file)) {
      Warning(InvalidExtensionText);
      return;
    }
    const auto previous = ProfileListOrNew().FileName;
    if (ProfileList->SaveAs(Std(FullPath(file)), true)) {
      ProfileLoadFailed = false;
      Message("Profile was saved.");
      return;
    }
    // A refused overwrite (which reports nothing) or a failed write leaves the
    // previous profile current, so that no automatic save replaces the file
    // the reader chose to keep.
    ProfileList->FileName = previous;
    OP_ADOPT();
  };
  OP_TRY { work(); }
  OP_CATCH;
  OP_SHOW("Failed to save profile.");
  RichEdit->setFocus();
}

void TPagelumeForm::DeleteProfileButtonMouseDown(TShiftState shift) {
  OP_BEGIN("TPagelumeForm::DeleteProfileButtonMouseDown");
  auto work = [&] {
    const TProfileChoice choice = ChoiceFor(shift, false, false);
    if (choice == TProfileChoice::None)
      return;
    const QString file = AskProfileFile("Delete profile", ProfileInitialFile(int(choice)), false);
    if (file.isEmpty())
      return;
    if (!HasProfileExtension(file)) {
      Warning(InvalidExtensionText);
      return;
    }
    WriteKeptProfile();  // a write kept for later does not bring the file back
    if (!MyDeleteFile(file))  // clears the read-only attribute first
      OP_ADOPT();
  };
  OP_TRY { work(); }
  OP_CATCH;
  OP_SHOW("Failed to delete profile.");
  RichEdit->setFocus();
}

bool TPagelumeForm::AutoSaveProfileOn() const {
  return !AutoSaveProfileCheckBox || AutoSaveProfileCheckBox->isChecked();
}
