// Function status context: how every operation of the program reports success
// or failure, and the protocol that carries a failure from where it is detected
// to the one place that shows it.
//
// This unit is plain C++ (no toolkit): the error dialog, the message box that
// stands in for it and the log writer live in ErrorDialog.h and are plugged in
// through SetShowErrorHandler at start-up.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

typedef int32_t FunStatus;
enum : FunStatus {
  fsPerfect = 0,
  fsWarning = 1,
  fsError = 2,
  fsBeginFunctionError = 3,
  fsPanic = 4,
  fsCatastrophe = 5,
};

class TFunStatContext {
public:
  FunStatus Status = fsPerfect;
  std::string RaiseFile;
  std::string RaiseFunction;
  int32_t RaiseLine = 0;
  std::string Description;
  std::string Param1;
  std::string Param2;
  int32_t SysErrorCode = 0;
  std::string ShowFile;
  std::string ShowFunction;
  int32_t ShowLine = 0;
  int32_t UserCode = 0;
  std::string UserText;
  int32_t UserInt = 0;
  double UserReal = 0;

  TFunStatContext() { Reset(fsPerfect); }
  TFunStatContext(const TFunStatContext &other) { Assign(other); }
  TFunStatContext &operator=(const TFunStatContext &other) {
    Assign(other);
    return *this;
  }

  bool Failed() const { return Status > fsWarning; }

  void Reset(FunStatus level = fsPerfect);
  void Begin(const std::string &file, const std::string &function, int32_t line);
  void Raise(const std::string &file, const std::string &function, int32_t line, FunStatus level,
             const std::string &description, const std::string &param1 = std::string(),
             const std::string &param2 = std::string(), int32_t sysErrorCode = 0);
  void SetShow(const std::string &file, const std::string &function, int32_t line);
  // Copies every field but the three show fields.
  void Assign(const TFunStatContext &other);

  static std::string StatusName(FunStatus level);
  std::string ReportText() const;
  // Shows the error dialog for this context. Returns true when the user
  // accepted it; suppressErrors (optional) tells whether "no errors" was chosen.
  bool ShowError(const std::string &description, bool *suppressErrors = nullptr) const;

  // Hook for exceptions that leave an event handler.
  static void OnApplicationException(const std::string &message);
};

// The one shared context, read and written by every operation.
extern TFunStatContext FunStatContext;

// ---- Pluggable pieces (set by the GUI at start-up; tests may replace them) ----

// Shows a report. Returns true when accepted. The handler receives the
// context, the description (already defaulted), and the report text.
using ShowErrorHandler = std::function<bool(const TFunStatContext &ctx, const std::string &description,
                                            bool *suppressErrors)>;
// Installs the handler that shows reports; an empty handler means "no dialog
// exists", in which case ShowError falls back to the no-dialog handler.
void SetShowErrorHandler(ShowErrorHandler handler);
// What ShowError does while no dialog exists (the GUI shows a message box;
// the default prints to standard error).
void SetNoDialogHandler(std::function<void(const std::string &text, const std::string &caption)> handler);
// Recursion count of the error dialog, printed in every report (0 when the
// dialog does not exist).
void SetRecursionCountProvider(std::function<int()> provider);
// Date-time text of the report ("long date (day of year) | long time (n)").
void SetDateTimeTextProvider(std::function<std::string()> provider);
// Full path of the executable, printed in every report.
void SetProgramPathProvider(std::function<std::string()> provider);

std::string ReportDateTimeText();  // default date-time text (C library formats)

// ---- System-call failure tests (errno stands for the thread's last error) ----
void ClearLastError();
int32_t LastErrorCode();
bool LastCallFailed();
bool LastOpenFailed();
bool IsFindEndCode(int32_t code);
bool ComCallFailed(int32_t result);
// The C library's message text for an error code.
std::string SysErrorDescription(int32_t code);

// ---- Exceptions that record where they were thrown ----
class TPagelumeException : public std::runtime_error {
public:
  TPagelumeException(const std::string &message, const char *file, int line)
      : std::runtime_error(message), File(file ? file : ""), Line(line) {}
  std::string File;
  int Line;
};
#define PL_THROW(message) throw TPagelumeException((message), __FILE__, __LINE__)

// ---- The operation protocol ----
//
//   bool Foo() {
//     OP_BEGIN("Foo");
//     bool result = false;
//     OP_TRY {
//       ...
//       if (bad) { OP_RAISE("Failed to do it.", path); return result; }   // or break out
//       Bar();
//       if (OP_ADOPT()) return result;
//       result = true;
//     } OP_CATCH;
//     return result;
//   }
//
// The scope object assigns the shared context from the local one when it is
// destroyed, so every return path reports the operation's outcome.
class TFunOperation {
public:
  TFunOperation(const char *file, const char *function, int line);
  ~TFunOperation();
  TFunOperation(const TFunOperation &) = delete;
  TFunOperation &operator=(const TFunOperation &) = delete;

  TFunStatContext Local;
  const char *File;
  const char *Function;

  bool Failed() const { return Local.Status > fsWarning; }
  void Raise(int line, const std::string &description, const std::string &param1 = std::string(),
             const std::string &param2 = std::string(), int32_t sysErrorCode = 0, FunStatus level = fsError);
  // After a call of another operation: adopts the callee's failure when the
  // shared context is above Warning. Returns true when it did. The
  // operation's own entry mark (left when the callee reports nothing) is not
  // a failure.
  bool Adopt();
  void CatchException(int line, const std::exception &e);
  void CatchUnknown(int line);
  // A show point: shows a failure of the local context, then resets it.
  void Show(int line, const std::string &description);
};

#define OP_BEGIN(name) TFunOperation op_(__FILE__, (name), __LINE__)
#define OP_TRY try
#define OP_CATCH                                                                                                       \
  catch (const std::exception &e_) { op_.CatchException(__LINE__, e_); }                                               \
  catch (...) { op_.CatchUnknown(__LINE__); }
#define OP_RAISE(...) op_.Raise(__LINE__, __VA_ARGS__)
#define OP_ADOPT() op_.Adopt()
#define OP_FAILED() op_.Failed()
#define OP_SHOW(description) op_.Show(__LINE__, (description))
