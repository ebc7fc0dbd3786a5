#include "Error.h"

#include <gtest/gtest.h>

TEST(StatusContext, StatusNames) {
  EXPECT_EQ(TFunStatContext::StatusName(fsPerfect), "Perfect");
  EXPECT_EQ(TFunStatContext::StatusName(fsBeginFunctionError), "Begin function error");
  EXPECT_EQ(TFunStatContext::StatusName(6), "Unknown function status");
  EXPECT_EQ(TFunStatContext::StatusName(-1), "Unknown function status");
}
