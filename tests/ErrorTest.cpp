#include "Error.h"

#include <gtest/gtest.h>

namespace {

// Fixed date-time, program path and recursion count, so that reports can be
// compared byte for byte; the dialog is replaced by a recorder.
class StatusContextTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetDateTimeTextProvider([] { return std::string("Monday (1) | 00:00:00 (0)"); });
    SetProgramPathProvider([] { return std::string("/opt/Pagelume/Pagelume"); });
    SetShowErrorHandler([this](const TFunStatContext &ctx, const std::string &description, bool *) {
      Shown.push_back(ctx);  // copies leave the show fields out
      Shown.back().SetShow(ctx.ShowFile, ctx.ShowFunction, ctx.ShowLine);
      Descriptions.push_back(description);
      return true;
    });
    FunStatContext.Reset(fsPerfect);
  }
  void TearDown() override {
    SetDateTimeTextProvider(nullptr);
    SetProgramPathProvider(nullptr);
    SetShowErrorHandler(nullptr);
    FunStatContext.Reset(fsPerfect);
  }
  std::vector<TFunStatContext> Shown;
  std::vector<std::string> Descriptions;
};

const char *const Tail = "\r\n\r\nINFO\r\n* Time: Monday (1) | 00:00:00 (0)\r\n* Program: /opt/Pagelume/Pagelume\r\n"
                         "* Recursive attempts: 0\r\n\r\nUSER INFO\r\n* UserCode: 0\r\n* UserText: \r\n"
                         "* UserInt: 0\r\n* UserReal: 0";

int CalleeLevel = fsError;
bool Callee() {
  OP_BEGIN("Callee");
  OP_TRY {
    OP_RAISE("Callee failed.", "a.txt", std::string(), 0, CalleeLevel);
    return false;
  }
  OP_CATCH;
  return false;
}

int PlainHelper() { return 1; }

// Calls Callee, then a plain function, and reports what it adopted.
bool Caller(TFunStatContext &seen, bool callPlain) {
  OP_BEGIN("Caller");
  bool adopted = false;
  OP_TRY {
    if (callPlain)
      PlainHelper();
    else
      Callee();
    adopted = OP_ADOPT();
    seen = op_.Local;
  }
  OP_CATCH;
  return adopted;
}

template <class F> TFunStatContext RunThrowing(F body) {
  {
    OP_BEGIN("Thrower");
    OP_TRY { body(); }
    OP_CATCH;
  }
  return FunStatContext;
}

}  // namespace

TEST(StatusContext, StatusNames) {
  EXPECT_EQ(TFunStatContext::StatusName(fsPerfect), "Perfect");
  EXPECT_EQ(TFunStatContext::StatusName(fsBeginFunctionError), "Begin function error");
  EXPECT_EQ(TFunStatContext::StatusName(6), "Unknown function status");
  EXPECT_EQ(TFunStatContext::StatusName(-1), "Unknown function status");
}

TEST_F(StatusContextTest, ReportWithoutParametersOrCode) {
  TFunStatContext c;
  c.Raise("/src/dir/Foo.cpp", "TFoo::Bar", 12, fsError, "Failed to get file size.");
  c.SetShow("/src/Show.cpp", "", 30);
  EXPECT_EQ(c.ReportText(), std::string("\r\nRAISE CONTEXT\r\n* Status: Error\r\n* File: \"Foo.cpp\"\r\n"
                                        "* Function: \"TFoo::Bar\"\r\n* Line: 12\r\n"
                                        "* Description: \"Failed to get file size.\"\r\n\r\nSHOW CONTEXT\r\n"
                                        "* File: \"Show.cpp\"\r\n* Function: \"\"\r\n* Line: 30") +
                                Tail);
}

TEST_F(StatusContextTest, ReportWithParametersCodeCatastropheAndUserFields) {
  TFunStatContext c;
  c.Raise("Foo.cpp", "F", 1, fsCatastrophe, "D.", "p \"1\"", "p2", 2);
  c.UserReal = 2.5;
  c.UserText = "t";
  const std::string r = c.ReportText();
  EXPECT_NE(r.find("* Status: Catastrophe: CATASTROPHIC FAILURE!!! It is highly recommended to terminate the "
                   "program immediately!\r\n* File: "),
            std::string::npos);
  EXPECT_NE(r.find("* Description: \"D.\"\r\n* Parameter 1: \"p \"1\"\"\r\n* Parameter 2: \"p2\"\r\n"
                   "* System error code: 2\r\n* System error description: \"" +
                   SysErrorDescription(2) + "\"\r\n\r\nSHOW CONTEXT"),
            std::string::npos);
  EXPECT_NE(r.find("* UserText: t\r\n"), std::string::npos);
  EXPECT_EQ(r.substr(r.size() - 15), "* UserReal: 2.5");
}

TEST_F(StatusContextTest, LevelOutsideTheTable) {
  TFunStatContext c;
  c.Raise("F.cpp", "F", 1, 9, "D.");
  EXPECT_NE(c.ReportText().find("* Status: Unknown function status\r\n"), std::string::npos);
  EXPECT_TRUE(c.Failed());
}

TEST_F(StatusContextTest, WithoutDialogTheFallbackIsUsed) {
  SetShowErrorHandler(nullptr);
  std::string text, caption;
  SetNoDialogHandler([&](const std::string &t, const std::string &c) { text = t, caption = c; });
  bool suppress = true;
  TFunStatContext c;
  EXPECT_FALSE(c.ShowError("x", &suppress));
  EXPECT_FALSE(suppress);
  EXPECT_EQ(text, "The error-dialog form is not created. You must create it.");
  EXPECT_EQ(caption, "Error");
  SetNoDialogHandler(nullptr);  // an empty fallback must not break ShowError
  EXPECT_FALSE(c.ShowError("x"));
}

TEST_F(StatusContextTest, CallerAdoptsFailuresAboveWarningOnly) {
  TFunStatContext seen;
  CalleeLevel = fsWarning;
  EXPECT_FALSE(Caller(seen, false));
  EXPECT_EQ(seen.Status, fsPerfect);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);

  CalleeLevel = fsError;
  EXPECT_TRUE(Caller(seen, false));
  EXPECT_EQ(seen.Status, fsError);
  EXPECT_EQ(seen.RaiseFunction, "Callee");
  EXPECT_EQ(seen.Description, "Callee failed.");
  EXPECT_EQ(seen.Param1, "a.txt");
  EXPECT_EQ(FunStatContext.RaiseFunction, "Callee");  // the caller passes it on
  EXPECT_TRUE(Shown.empty());

  // A plain function leaves the caller's own entry mark: nothing to adopt.
  EXPECT_FALSE(Caller(seen, true));
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(StatusContextTest, ExceptionsBecomeRaisedFailures) {
  TFunStatContext c = RunThrowing([] { PL_THROW("bad thing"); });
  EXPECT_EQ(c.Status, fsError);
  EXPECT_EQ(c.RaiseFunction, "Thrower");
  EXPECT_EQ(c.Description, "Unhandled exception: bad thing");
  EXPECT_NE(c.Param1.find("ErrorTest.cpp"), std::string::npos);
  EXPECT_NE(c.Param2, "0");

  c = RunThrowing([] { throw std::out_of_range("range"); });
  EXPECT_EQ(c.Description, "Unhandled exception: range");
  EXPECT_EQ(c.Param1, "");
  EXPECT_EQ(c.Param2, "0");
  EXPECT_EQ(c.ReportText().find("Parameter 1"), std::string::npos);

  c = RunThrowing([] { throw 42; });
  EXPECT_EQ(c.Description, "Unhandled generic exception.");
}

TEST_F(StatusContextTest, ShowPointShowsOnceAndLeavesPerfect) {
  {
    OP_BEGIN("Handler");
    OP_TRY {
      Callee();
      if (OP_ADOPT()) {
        OP_SHOW("Failed to open book.");
        EXPECT_EQ(op_.Local.Status, fsPerfect);
      }
    }
    OP_CATCH;
  }
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Descriptions[0], "Failed to open book.");
  EXPECT_EQ(Shown[0].RaiseFunction, "Callee");
  EXPECT_EQ(Shown[0].ShowFunction, "");
  EXPECT_NE(Shown[0].ShowLine, 0);
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST_F(StatusContextTest, ApplicationExceptionHookReportsAndResets) {
  TFunStatContext::OnApplicationException("boom");
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Descriptions[0], "Unhandled error.\r\nboom");
  EXPECT_EQ(Shown[0].RaiseFunction, "TFunStatContext::OnApplicationException");
  EXPECT_EQ(Shown[0].ShowFunction, "TFunStatContext::OnApplicationException");
  EXPECT_EQ(FunStatContext.Status, fsPerfect);
}

TEST(StatusContext, AssignKeepsShowFields) {
  TFunStatContext a, b;
  a.Raise("A.cpp", "A", 1, fsPanic, "PANIC: x.");
  a.SetShow("S.cpp", "S", 2);
  a.UserInt = 7;
  b.SetShow("T.cpp", "T", 3);
  b = a;
  EXPECT_EQ(b.Status, fsPanic);
  EXPECT_EQ(b.UserInt, 7);
  EXPECT_EQ(b.ShowFile, "T.cpp");
  TFunStatContext copy(a);
  EXPECT_EQ(copy.ShowFile, "");
}
