// The main window's browser: the "Browser" group of the "Open" page with its
// list of drives, folders and books, its buttons and keys, and the history of
// the places it has shown.
#include "PagelumeDialog.h"

#include "BookLoader.h"
#include "BrowserList.h"
#include "Error.h"
#include "File.h"
#include "History.h"
#include "RTF.h"
#include "SidebarControls.h"

#include <QCollator>
#include <QGridLayout>
#include <QGroupBox>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace {
// Names in the order of the reader's language: letter case ignored, accented
// letters beside their plain ones, numbers by their value ("Book 2" before
// "Book 10"). The C locale has no order of its own: it gets English's.
// Sort keys are made once per name, so a folder of many books sorts quickly.
void SortByName(TFileList &list) {
  QLocale locale;
  if (locale.language() == QLocale::C)
    locale = QLocale(QLocale::English);
  QCollator collator(locale);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  collator.setNumericMode(true);
  std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
  keys.reserve(list.size());
  for (qsizetype i = 0; i < list.size(); ++i)
    keys.emplace_back(collator.sortKey(list[i].Text), i);
  std::stable_sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
  TFileList sorted;
  sorted.reserve(list.size());
  for (const auto &key : keys)
    sorted.append(std::move(list[key.second]));
  list = std::move(sorted);
}
}  // namespace

// ---- Construction ----

void TPagelumeForm::BuildBrowserControls() {
  auto *group = static_cast<QVBoxLayout *>(BrowserGroupBox->layout());
  // The open button of the reading controls moves into the button grid.
  group->removeWidget(OpenBookButton);
  for (int i = group->count() - 1; i >= 0; --i)
    if (group->itemAt(i)->spacerItem())
      delete group->takeAt(i);

  UpBrowserButton = NewButton(BrowserGroupBox, "UpBrowserButton", "Up", "Load the parent directory. [Backspace]");
  ReloadBrowserButton =
      NewButton(BrowserGroupBox, "ReloadBrowserButton", "Reload",
                    "Reload the current directory (changes in directory are not automatically detected)");
  FromBookBrowserButton = NewButton(BrowserGroupBox, "FromBookBrowserButton", "From book",
                                        "Load the parent directory of the currently opened book");
  BrowserHistoryButton = NewButton(BrowserGroupBox, "BrowserHistoryButton", "History",
                                       "Load a directory, from the list, that you already visited");
  auto *buttons = new QGridLayout;
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->setSpacing(3);
  buttons->addWidget(UpBrowserButton, 0, 0);
  buttons->addWidget(ReloadBrowserButton, 0, 1);
  buttons->addWidget(FromBookBrowserButton, 0, 2);
  buttons->addWidget(BrowserHistoryButton, 1, 0);
  buttons->addWidget(OpenBookButton, 1, 1, 1, 2);
  group->addLayout(buttons);

  BrowserListBox = new TBrowserList(BrowserGroupBox);
  BrowserListBox->setObjectName("BrowserListBox");
  group->addWidget(BrowserListBox, 1);

  BrowserListBox->OnUp = [this] { UpBrowserButtonClick(); };
  BrowserListBox->OnOpenItem = [this] { OpenBrowserItem(); };
  BrowserListBox->OnDrives = [this] { LoadBrowserContent(BareDrive(BrowserPath)); };
  BrowserListBox->OnExplore = [this] {
    OP_BEGIN("TPagelumeForm::BrowserListBoxMouseDown");
    OP_TRY {
      RunVerb(BrowserPath, "Explore", QString());
      OP_ADOPT();
    }
    OP_CATCH;
    OP_SHOW("");
  };
  BrowserListBox->OnSelectionMoved = [this](int index) {
    if (!BrowserPath.isEmpty() && !IsBareDrive(BrowserPath))
      History->Add(BrowserPath + BrowserListBox->ItemText(index), BrowserListBox->TopIndex());
  };
  BrowserListBox->ItemHintText = [this](int index) { return BrowserItemHint(index); };

  connect(UpBrowserButton, &QPushButton::clicked, this, [this] { UpBrowserButtonClick(); });
  connect(ReloadBrowserButton, &QPushButton::clicked, this, [this] { LoadBrowserContent(BrowserPath); });
  connect(FromBookBrowserButton, &QPushButton::clicked, this,
          [this] { LoadBrowserContent(PathText(Loader->State.Path)); });
  connect(BrowserHistoryButton, &QPushButton::clicked, this, [this] { BrowserHistoryButtonClick(); });
}

void TPagelumeForm::CreateHistory() {
  History = std::make_unique<THistoryDialog>();
  History->OnSelect = [this](const THistoryEntry &entry) {
    LoadBrowserContent(entry.Path);
    BrowserListBox->setFocus();
  };
  History->Add(GetTempPathA(), 0);
  // Only folders that are there: the reader never makes one by looking.
  for (const TSystemFolder folder : {TSystemFolder::CommonDocuments, TSystemFolder::Documents})
    if (const QString dir = SystemDirectoryLocation(folder); IsDirectory(dir))
      History->Add(dir, 0);
  FunStatContext.Reset();
}

// ---- Showing a place ----

void TPagelumeForm::LoadBrowserContent(const QString &path) {
  OP_BEGIN("TPagelumeForm::LoadBrowserContent");
  OP_TRY {
    const QString directory = FilePath(path);
    QString name = FileName(path);
    if (name.isEmpty() && BrowserListBox->SelectedIndex() >= 0)
      name = BrowserListBox->ItemText(BrowserListBox->SelectedIndex());

    TFileList directories, files;
    QString listed;
    const int topBefore = BrowserListBox->TopIndex();
    LoadFilesFromAnyDir(
        directory, BookPathPatterns, &directories, &listed, [this](const QString &dir) {
          if (!dir.isEmpty() && !IsBareDrive(dir))
            History->Forget(WithSeparator(dir));
        },
        false, false, -1, nullptr, &files);
    if (OP_ADOPT())
      return;
    BrowserPath = listed.isEmpty() ? QString() : WithSeparator(listed);

    // The place asked for is recorded; when it could not be listed (and was
    // forgotten) the place shown instead, so a dead folder does not return.
    const bool fellBack = !SamePathName(directory, BrowserPath) &&
                          !(directory.isEmpty() && BrowserPath.isEmpty());
    History->Add(fellBack ? BrowserPath : path, topBefore);
    THistoryEntry entry;
    const bool known = !BrowserPath.isEmpty() && History->Find(BrowserPath, &entry) >= 0;
    if (known)
      name = FileName(entry.Path);

    const bool drives = BrowserPath.isEmpty();
    if (!drives)
      SortByName(directories);
    SortByName(files);
    directories.append(files);
    BrowserListBox->Model()->SetItems(std::move(directories), drives);

    int selected = 0;
    if (!name.isEmpty()) {
      for (int i = 0; i < BrowserListBox->Count(); ++i)
        if (SamePathName(BrowserPath + BrowserListBox->ItemText(i), BrowserPath + name)) {
          selected = i;
          break;
        }
    }
    BrowserListBox->SelectIndex(selected);
    if (known) {
      const int offset = selected - entry.TopIndex;
      if (offset >= 0 && offset < BrowserListBox->RowsThatFit())
        BrowserListBox->SetTopIndex(entry.TopIndex);
    }
  }
  OP_CATCH;
}

void TPagelumeForm::OpenBrowserItem() {
  OP_BEGIN("TPagelumeForm::OpenBrowserItem");
  OP_TRY {
    const int index = BrowserListBox->SelectedIndex();
    if (index < 0)
      return;
    const QString text = BrowserListBox->ItemText(index);
    const QString full = BrowserPath.isEmpty() ? text : BrowserPath + text;
    if (BrowserListBox->ItemIsDirectory(index)) {
      LoadBrowserContent(WithSeparator(full));
    } else {
      OpenBook(full);
    }
    OP_ADOPT();
  }
  OP_CATCH;
  OP_SHOW("");
}

QString TPagelumeForm::BrowserItemHint(int index) const {
  const QString text = BrowserListBox->ItemText(index);
  QString hint;
  if (!BrowserListBox->ItemIsDirectory(index)) {
    const uint64_t size = GetFileSize(BrowserPath + text);
    FunStatContext.Reset();
    hint += " SIZE " + QLocale::system().toString(static_cast<qulonglong>(size)) + " characters.";
  }
  QString where = FileName(StripTrailingSeparator(BrowserPath));
  if (where.isEmpty())
    where = BrowserPath;
  hint += " NAME \"" + text + "\" (IN \"" + where + "\").";
  return hint;
}

QString TPagelumeForm::StripTrailingSeparator(const QString &path) {
  return path.size() > 1 && path.endsWith('/') ? path.left(path.size() - 1) : path;
}

// ---- Buttons ----

void TPagelumeForm::UpBrowserButtonClick() {
  if (BrowserPath == "/")
    LoadBrowserContent(BareDrive(BrowserPath));
  else if (!BrowserPath.isEmpty())
    LoadBrowserContent(StripTrailingSeparator(BrowserPath));
  else
    LoadBrowserContent(QString());
}

void TPagelumeForm::BrowserHistoryButtonClick() {
  History->DialogButton(BrowserHistoryButton, "Browser history");
}
