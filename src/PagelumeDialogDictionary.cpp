// The main window's dictionary look-up: a double-clicked word goes to the
// reader's dictionary program, as its one argument or through the clipboard.
#include "PagelumeDialog.h"

#include "Error.h"
#include "File.h"
#include "ProgramSettings.h"
#include "RTF.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Folders and executable files only.
class TExecutableFilter : public QSortFilterProxyModel {
public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
  bool filterAcceptsRow(int row, const QModelIndex &parent) const override {
    auto *model = qobject_cast<QFileSystemModel *>(sourceModel());
    if (!model)
      return true;
    const QFileInfo info = model->fileInfo(model->index(row, 0, parent));
    return info.isDir() || info.isExecutable();
  }
};

}  // namespace

void TPagelumeForm::BuildDictionaryControls() {
  // The "..." button goes beside the path box of the "Dictionary" group.
  ChangeDictionaryButton = new QPushButton("...", DictionaryGroupBox);
  ChangeDictionaryButton->setObjectName("ChangeDictionaryButton");
  ChangeDictionaryButton->setStatusTip("Change the dictionary program");
  ChangeDictionaryButton->setFixedWidth(ChangeDictionaryButton->fontMetrics().horizontalAdvance("...") + 16);
  auto *group = static_cast<QVBoxLayout *>(DictionaryGroupBox->layout());
  const int at = std::max(group->indexOf(DictionaryTitleEdit), 0);
  group->removeWidget(DictionaryTitleEdit);
  auto *row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(DictionaryTitleEdit, 1);
  row->addWidget(ChangeDictionaryButton);
  group->insertLayout(at, row);

  connect(ChangeDictionaryButton, &QPushButton::clicked, this, &TPagelumeForm::ChangeDictionaryButtonClick);
}

void TPagelumeForm::LookUpWord() {
  OP_BEGIN("TPagelumeForm::LookUpWord");
  OP_TRY {
    const QString word = QString::fromStdU16String(RichEdit->SelectedText());
    const QString path = DictionaryTitleEdit->text();
    if (word.trimmed().isEmpty() || path.isEmpty() || word.size() > MaxLookUpLength)
      return;
    bool started = false;
    if (ClipboardForDicCheckBox->isChecked()) {
      RichEdit->copy();
      started = RunFile(path, QString(), QString(), false, false);
    } else {
      // The word as it is, as one argument: no shell ever sees it.
      started = RunFileWithArgument(path, word);
    }
    if (!started)
      OP_ADOPT();
  }
  OP_CATCH;
}

void TPagelumeForm::ChangeDictionaryButtonClick() {
  OP_BEGIN("TPagelumeForm::ChangeDictionaryButtonClick");
  OP_TRY {
    const QString current = DictionaryTitleEdit->text();
    QString chosen;
    if (ChooseDictionaryFile) {
      chosen = ChooseDictionaryFile(current);
    } else {
      QFileDialog dialog(this, "Dictionary program");
      // The toolkit's own dialog, so that only executable files are listed.
      dialog.setOption(QFileDialog::DontUseNativeDialog);
      dialog.setFileMode(QFileDialog::ExistingFile);
      dialog.setNameFilter("Programs (*)");
      dialog.setProxyModel(new TExecutableFilter(&dialog));
      if (!current.isEmpty()) {
        dialog.setDirectory(QFileInfo(current).absolutePath());
        dialog.selectFile(current);
      }
      if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        chosen = dialog.selectedFiles().first();
    }
    if (!chosen.isEmpty())
      DictionaryTitleEdit->setText(QDir::cleanPath(QFileInfo(chosen).absoluteFilePath()));
  }
  OP_CATCH;
  OP_SHOW("Failed to change dictionary.");
  RichEdit->setFocus();
}
