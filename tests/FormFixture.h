// The main window under test: its own program folder, message boxes and error
// dialogs answered by recording their texts.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <clocale>
#include <string>
#include <vector>

#include "Dialogs.h"
#include "Error.h"
#include "PagelumeDialog.h"
#include "Program.h"

class TFormFixture : public ::testing::Test {
protected:
  void SetUp() override {
    std::setlocale(LC_NUMERIC, "C");
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([this](TMessageKind, const QString &text) {
      Boxes << text;
      return false;
    });
    SetShowErrorHandler([this](const TFunStatContext &, const std::string &description, bool *) {
      Errors.push_back(description);
      return true;
    });
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return false; };
    Form->resize(1024, 768);
    Form->LayoutWindow();
  }
  void TearDown() override {
    delete Form;
    Form = nullptr;
    SetShowErrorHandler({});
    SetMessageBoxHandler({});
    SetProgramDirOverride(QString());
  }
  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = Dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }

  QTemporaryDir Dir;
  QStringList Boxes;
  std::vector<std::string> Errors;
  TPagelumeForm *Form = nullptr;
};
