#include "Error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>

TFunStatContext FunStatContext;

namespace {

ShowErrorHandler &ShowHandler() {
  static ShowErrorHandler handler;
  return handler;
}

std::function<void(const std::string &, const std::string &)> &NoDialogHandler() {
  static std::function<void(const std::string &, const std::string &)> handler =
      [](const std::string &text, const std::string &caption) { std::cerr << caption << ": " << text << std::endl; };
  return handler;
}

std::function<int()> &RecursionProvider() {
  static std::function<int()> provider;
  return provider;
}

std::function<std::string()> &DateTimeProvider() {
  static std::function<std::string()> provider;
  return provider;
}

std::function<std::string()> &ProgramPathProvider() {
  static std::function<std::string()> provider;
  return provider;
}

std::string LastPathComponent(const std::string &path) {
  size_t pos = path.find_last_of("/\\");
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// Shortest general form of a double ("%g" widened until it reads back exactly).
std::string ShortestReal(double value) {
  char buffer[64];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value)
      return buffer;
  }
  return buffer;
}

}  // namespace

void TFunStatContext::Reset(FunStatus level) {
  Status = level;
  RaiseFile.clear();
  RaiseFunction.clear();
  Description.clear();
  Param1.clear();
  Param2.clear();
  RaiseLine = 0;
  SysErrorCode = 0;
}

void TFunStatContext::Begin(const std::string &file, const std::string &function, int32_t line) {
  Status = fsBeginFunctionError;
  RaiseFile = file;
  RaiseFunction = function;
  RaiseLine = line;
  Description.clear();
  Param1.clear();
  Param2.clear();
  SysErrorCode = 0;
}

void TFunStatContext::Raise(const std::string &file, const std::string &function, int32_t line, FunStatus level,
                            const std::string &description, const std::string &param1, const std::string &param2,
                            int32_t sysErrorCode) {
  RaiseFile = file;
  RaiseFunction = function;
  RaiseLine = line;
  Status = level;
  Description = description;
  Param1 = param1;
  Param2 = param2;
  SysErrorCode = sysErrorCode;
}

void TFunStatContext::SetShow(const std::string &file, const std::string &function, int32_t line) {
  ShowFile = file;
  ShowFunction = function;
  ShowLine = line;
}

void TFunStatContext::Assign(const TFunStatContext &other) {
  if (this == &other)
    return;
  Status = other.Status;
  RaiseFile = other.RaiseFile;
  RaiseFunction = other.RaiseFunction;
  RaiseLine = other.RaiseLine;
  Description = other.Description;
  Param1 = other.Param1;
  Param2 = other.Param2;
  SysErrorCode = other.SysErrorCode;
  UserCode = other.UserCode;
  UserText = other.UserText;
  UserInt = other.UserInt;
  UserReal = other.UserReal;
}

std::string TFunStatContext::StatusName(FunStatus level) {
  switch (level) {
  case fsPerfect: return "Perfect";
  case fsWarning: return "Warning";
  case fsError: return "Error";
  case fsBeginFunctionError: return "Begin function error";
  case fsPanic: return "Panic";
  case fsCatastrophe: return "Catastrophe";
  default: return "Unknown function status";
  }
}

std::string TFunStatContext::ReportText() const {
  std::string r;
  try {
    const std::string nl = "\r\n";
    r += nl + "RAISE CONTEXT";
    r += nl + "* Status: " + StatusName(Status);
    if (Status == fsCatastrophe)
      r += ": CATASTROPHIC FAILURE!!! It is highly recommended to terminate the program immediately!";
    r += nl + "* File: " + Quoted(LastPathComponent(RaiseFile));
    r += nl + "* Function: " + Quoted(RaiseFunction);
    r += nl + "* Line: " + std::to_string(RaiseLine);
    r += nl + "* Description: " + Quoted(Description);
    if (!Param1.empty())
      r += nl + "* Parameter 1: " + Quoted(Param1);
    if (!Param2.empty())
      r += nl + "* Parameter 2: " + Quoted(Param2);
    if (SysErrorCode != 0) {
      r += nl + "* System error code: " + std::to_string(SysErrorCode);
      r += nl + "* System error description: " + Quoted(SysErrorDescription(SysErrorCode));
    }
    r += nl;
    r += nl + "SHOW CONTEXT";
    r += nl + "* File: " + Quoted(LastPathComponent(ShowFile));
    r += nl + "* Function: " + Quoted(ShowFunction);
    r += nl + "* Line: " + std::to_string(ShowLine);
    r += nl;
    r += nl + "INFO";
    r += nl + "* Time: " + (DateTimeProvider() ? DateTimeProvider()() : ReportDateTimeText());
    r += nl + "* Program: " + (ProgramPathProvider() ? ProgramPathProvider()() : std::string());
    r += nl + "* Recursive attempts: " + std::to_string(RecursionProvider() ? RecursionProvider()() : 0);
    r += nl;
    r += nl + "USER INFO";
    r += nl + "* UserCode: " + std::to_string(UserCode);
    r += nl + "* UserText: " + UserText;
    r += nl + "* UserInt: " + std::to_string(UserInt);
    r += nl + "* UserReal: " + ShortestReal(UserReal);
  } catch (...) {
    // Whatever was built so far is the report.
  }
  return r;
}

bool TFunStatContext::ShowError(const std::string &description, bool *suppressErrors) const {
  try {
    if (!ShowHandler()) {
      if (suppressErrors)
        *suppressErrors = false;
      if (NoDialogHandler())
        NoDialogHandler()("The error-dialog form is not created. You must create it.", "Error");
      return false;
    }
    return ShowHandler()(*this, description, suppressErrors);
  } catch (...) {
    if (suppressErrors)
      *suppressErrors = false;
    return false;
  }
}

void TFunStatContext::OnApplicationException(const std::string &message) {
  const std::string description = "Unhandled error.\r\n" + message;
  int32_t code = LastErrorCode();
  FunStatContext.Raise(__FILE__, "TFunStatContext::OnApplicationException", __LINE__, fsError, description,
                       std::string(), std::string(), code);
  FunStatContext.SetShow(__FILE__, "TFunStatContext::OnApplicationException", __LINE__);
  FunStatContext.ShowError(description);
  FunStatContext.Reset(fsPerfect);
}

void SetShowErrorHandler(ShowErrorHandler handler) { ShowHandler() = std::move(handler); }
void SetNoDialogHandler(std::function<void(const std::string &, const std::string &)> handler) {
  NoDialogHandler() = std::move(handler);
}
void SetRecursionCountProvider(std::function<int()> provider) { RecursionProvider() = std::move(provider); }
void SetDateTimeTextProvider(std::function<std::string()> provider) { DateTimeProvider() = std::move(provider); }
void SetProgramPathProvider(std::function<std::string()> provider) { ProgramPathProvider() = std::move(provider); }

std::string ReportDateTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[128], time[64];
  std::strftime(date, sizeof date, "%A, %B %d, %Y", &local);
  std::strftime(time, sizeof time, "%H:%M:%S", &local);
  int seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return std::string(date) + " (" + std::to_string(local.tm_yday + 1) + ") | " + time + " (" +
         std::to_string(seconds / 100) + ")";
}

void ClearLastError() { errno = 0; }
int32_t LastErrorCode() { return errno; }

// errno values that stand for "no error", "out of memory" (ENOMEM) and "the
// request was aborted" (ECANCELED): the same three outcomes the checks accept.
bool LastCallFailed() {
  int32_t code = LastErrorCode();
  return !(code == 0 || code == ENOMEM || code == ECANCELED);
}

// Opening an existing file with open-or-create reports EEXIST: a success.
bool LastOpenFailed() { return LastCallFailed() && LastErrorCode() != EEXIST; }

// A directory search ended normally: nothing left (0) or nothing there (ENOENT).
bool IsFindEndCode(int32_t code) { return code == 0 || code == ENOENT; }

bool ComCallFailed(int32_t result) { return result < 0 && static_cast<uint32_t>(result) != 0x800704C7u; }

std::string SysErrorDescription(int32_t code) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char *text = strerror_r(code, buffer, sizeof buffer);
  return text ? std::string(text) : std::string();
}

// ---- TFunOperation ----

TFunOperation::TFunOperation(const char *file, const char *function, int line) : File(file), Function(function) {
  FunStatContext.Begin(file, function, line);
}

TFunOperation::~TFunOperation() { FunStatContext.Assign(Local); }

void TFunOperation::Raise(int line, const std::string &description, const std::string &param1,
                          const std::string &param2, int32_t sysErrorCode, FunStatus level) {
  Local.Raise(File, Function, line, level, description, param1, param2, sysErrorCode);
}

bool TFunOperation::Adopt() {
  // The operation's own entry mark is still there when the call was of a
  // plain function that reports nothing: that is no failure to adopt.
  const bool ownMark = FunStatContext.Status == fsBeginFunctionError && FunStatContext.RaiseFile == File &&
                       FunStatContext.RaiseFunction == Function;
  if (FunStatContext.Status > fsWarning && !ownMark) {
    Local.Assign(FunStatContext);
    return true;
  }
  return false;
}

void TFunOperation::CatchException(int line, const std::exception &e) {
  std::string file, lineText = "0";
  if (auto *own = dynamic_cast<const TPagelumeException *>(&e)) {
    file = own->File;
    lineText = std::to_string(own->Line);
  }
  Local.Raise(File, Function, line, fsError, std::string("Unhandled exception: ") + e.what(), file, lineText, 0);
}

void TFunOperation::CatchUnknown(int line) {
  Local.Raise(File, Function, line, fsError, "Unhandled generic exception.", std::string(), "0", 0);
}

void TFunOperation::Show(int line, const std::string &description) {
  if (Local.Status > fsWarning) {
    Local.SetShow(File, std::string(), line);
    Local.ShowError(description);
    Local.Reset(fsPerfect);
  }
}
