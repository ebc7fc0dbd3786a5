#include "Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>

namespace {

MessageBoxHandler &Handler() {
  static MessageBoxHandler handler;
  return handler;
}

bool ShowBox(TMessageKind kind, const QString &text) {
  if (Handler())
    return Handler()(kind, text);
  if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
    QApplication::beep();
    return false;
  }
  // A pop-up menu that is active when the box opens (a book chosen from the
  // bookshelf menu) is no owner: it may be deleted while the box waits, and
  // would take the box with it. The box is owned by the menu's window then,
  // and is itself kept on the heap, watched, so that no owner can free it.
  QWidget *owner = QApplication::activeWindow();
  while (owner && owner->windowType() == Qt::Popup)
    owner = owner->parentWidget() ? owner->parentWidget()->window() : nullptr;
  QPointer<QMessageBox> watched(new QMessageBox(owner));
  QMessageBox &box = *watched;
  box.setWindowModality(Qt::ApplicationModal);
  box.setText(text);
  switch (kind) {
  case TMessageKind::Message:
    box.setWindowTitle("Message");
    box.setIcon(QMessageBox::Information);
    box.setStandardButtons(QMessageBox::Ok);
    break;
  case TMessageKind::Warning:
    box.setWindowTitle("Warning");
    box.setIcon(QMessageBox::Warning);
    box.setStandardButtons(QMessageBox::Ok);
    break;
  case TMessageKind::Query:
    box.setWindowTitle("Query");
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    break;
  case TMessageKind::Error:
    box.setWindowTitle("Error");
    box.setIcon(QMessageBox::Critical);
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    break;
  }
  const bool yes = box.exec() == QMessageBox::Yes;
  delete watched.data();
  return yes;
}

}  // namespace

void Message(const QString &text) { ShowBox(TMessageKind::Message, text); }
void Warning(const QString &text) { ShowBox(TMessageKind::Warning, text); }
bool Query(const QString &text) { return ShowBox(TMessageKind::Query, text); }
void ErrorBox(const QString &text) { ShowBox(TMessageKind::Error, text); }
void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

namespace {
std::function<int(QDialog &)> &DialogExecHook() {
  static std::function<int(QDialog &)> hook;
  return hook;
}
}  // namespace

int ExecDialog(QDialog &dialog) { return DialogExecHook() ? DialogExecHook()(dialog) : dialog.exec(); }
void SetDialogExecHook(std::function<int(QDialog &)> hook) { DialogExecHook() = std::move(hook); }
