// The three message boxes every part of the program uses to inform the user.
#pragma once

#include <QString>
#include <functional>

enum class TMessageKind { Message, Warning, Query, Error };

void Message(const QString &text);
void Warning(const QString &text);
// True only when the user answers Yes.
bool Query(const QString &text);
// A modal error box titled "Error" (OK and Cancel, error icon) for the few
// operations that report to the user directly; the answer is not used.
void ErrorBox(const QString &text);

// Replaces the boxes (tests and the headless converter answer without a
// window). The handler returns the Query answer; its result is ignored for the
// other two kinds. An empty handler restores the real boxes.
using MessageBoxHandler = std::function<bool(TMessageKind kind, const QString &text)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

class QDialog;
// Runs a modal dialog and returns its result. Tests install a hook that
// answers the dialog without a modal loop (the hook's return value is the
// result). An empty hook restores QDialog::exec().
int ExecDialog(QDialog &dialog);
void SetDialogExecHook(std::function<int(QDialog &dialog)> hook);
