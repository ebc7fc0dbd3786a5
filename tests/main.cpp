// Test entry: one QApplication for the whole run (widget tests need it), on the
// offscreen platform unless the caller chose another.
#include <QApplication>
#include "FakeSpeechEngine.h"
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Listing the tests (ctest's discovery at build time) needs no application.
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
  std::unique_ptr<QApplication> app;
  if (!listing)
    app = std::make_unique<QApplication>(argc, argv);
  // No test talks to the desktop's speech service: a window started here
  // finds none.
  SetSpeechEngineMaker([] { return std::make_unique<TFakeSpeechEngine>(false); });
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
