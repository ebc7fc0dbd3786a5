// Editing and saving the open book, printing it, the download-books menu and
// the help window, through the main window with every box answered by the test.
#include "BookLoader.h"
#include "BookSaving.h"
#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "FormatOptions.h"
#include "HelpWindow.h"
#include "PagelumeDialog.h"
#include "PrintBook.h"
#include "Program.h"
#include "RTF.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <climits>
#include <clocale>
#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString RunTool(const QString &tool, const QStringList &arguments) {
  QProcess process;
  process.start(tool, arguments);
  process.waitForFinished(60000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Urls;
public slots:
  void Open(const QUrl &url) { Urls << url; }
};

class EditPrintTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::setlocale(LC_NUMERIC, "C");
    SetProgramDirOverride(Dir.path());
    SetMessageBoxHandler([this](TMessageKind kind, const QString &text) {
      Boxes << text;
      if (kind != TMessageKind::Query)
        return false;
      for (auto it = Answers.begin(); it != Answers.end(); ++it)
        if (text.contains(it.key()))
          return it.value();
      return true;
    });
    SetShowErrorHandler([this](const TFunStatContext &, const std::string &description, bool *) {
      Errors << QString::fromStdString(description);
      return true;
    });
    Form = new TPagelumeForm;
    Form->IsApplicationActive = [] { return false; };
    Form->resize(1024, 768);
    Form->LayoutWindow();
    Form->ChooseSaveFile = [this](const QString &proposed) {
      Proposed << proposed;
      return SaveAs;
    };
    SystemPrinter = Form->DefaultPrinter;
    Form->DefaultPrinter = [this]() -> std::unique_ptr<QPrinter> {
      ++PrinterAsked;
      if (PdfPath.isEmpty())
        return nullptr;
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(PdfPath);
      printer->setPageSize(QPageSize(QPageSize::A4));
      return printer;
    };
  }
  void TearDown() override {
    delete Form;
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
  QString Fixture(const QString &name) {
    const QString path = Dir.filePath(name);
    QFile::copy(QString(PAGELUME_TEST_DATA) + "/books/" + name, path);
    return path;
  }
  void SetPrefix(const QString &prefix) {
    auto *list = Form->findChild<QComboBox *>("ParagraphPrefixComboBox");
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(list->findText(prefix));
  }
  // Types over the first occurrence of a word, as the reader would.
  void ReplaceWord(const QString &word, const QString &by) {
    Form->AllowEditingCheckBox->click();
    QTextCursor found = Form->RichEdit->document()->find(word);
    ASSERT_FALSE(found.isNull()) << word.toStdString();
    Form->RichEdit->setTextCursor(found);
    QTest_KeyClicks(by);
  }
  void QTest_KeyClicks(const QString &text) {
    for (QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(Form->RichEdit, &press);
    }
  }
  bool Asked(const QString &part) const {
    return std::any_of(Boxes.begin(), Boxes.end(), [&](const QString &b) { return b.contains(part); });
  }

  QTemporaryDir Dir;
  QStringList Boxes, Errors, Proposed;
  QMap<QString, bool> Answers;
  QString SaveAs, PdfPath;
  int PrinterAsked = 0;
  std::function<std::unique_ptr<QPrinter>()> SystemPrinter;
  TPagelumeForm *Form = nullptr;
};

TEST(SaveTargetNameTest, ExtensionDecidesTheKindAndTheName) {
  bool rich = true;
  EXPECT_EQ(SaveTargetName("/b/book", &rich), "/b/book.txt");
  EXPECT_FALSE(rich);
  EXPECT_EQ(SaveTargetName("/b/book.RTF", &rich), "/b/book.RTF");
  EXPECT_TRUE(rich);
  EXPECT_EQ(SaveTargetName("/b/book.doc", &rich), "/b/book.txt");
  EXPECT_FALSE(rich);
  EXPECT_EQ(SaveTargetName("/b/book.Txt", &rich), "/b/book.Txt");
  EXPECT_EQ(SaveTargetName("/a.dir/book", &rich), "/a.dir/book.txt");  // a dot of a folder is no extension
  EXPECT_EQ(SaveTargetName("/b/.hidden", &rich), "/b/.hidden.txt");
  EXPECT_EQ(SaveTargetName("/b/war.and.peace.rtf", &rich), "/b/war.and.peace.rtf");
  EXPECT_TRUE(rich);
  EXPECT_EQ(ProposedSaveName("/a.dir/book.txt"), "/a.dir/book");
  EXPECT_EQ(ProposedSaveName("/a.dir/book"), "/a.dir/book");
}

TEST(PrintMarginsTest, ListTextsWithDefaults) {
  TPrintMargins m = PrintMarginsFromText("0", "50", "", "abc");
  EXPECT_EQ(m.Left, 0);
  EXPECT_EQ(m.Right, 50);
  EXPECT_EQ(m.Top, 20);
  EXPECT_EQ(m.Bottom, 20);
  m = PrintMarginsFromText("55", "-5", "10", "5");
  EXPECT_EQ(m.Left, 30);
  EXPECT_EQ(m.Right, 20);
  EXPECT_EQ(m.Top, 10);
  EXPECT_EQ(m.Bottom, 5);
}

TEST_F(EditPrintTest, EditingOnlyForAWholeBookAndClearedByEveryLoad) {
  Form->OpenBook(Write("a.txt", "First paragraph of the book.\n"));
  EXPECT_TRUE(Form->AllowEditingCheckBox->isEnabled());
  EXPECT_TRUE(Form->RichEdit->isReadOnly());
  Form->AllowEditingCheckBox->click();
  EXPECT_FALSE(Form->RichEdit->isReadOnly());
  Form->InfoTimerTimer();
  EXPECT_EQ(Form->ModifiedLabel->text(), "Text is NOT modified");
  QTest_KeyClicks("Z");
  Form->InfoTimerTimer();
  EXPECT_EQ(Form->ModifiedLabel->text(), "Text is MODIFIED");

  // Another book: the edited one is offered for saving, then editing is off.
  Answers["Text has been edited"] = false;
  Form->OpenBook(Write("b.txt", "Second book.\n"));
  EXPECT_TRUE(Asked("Text has been edited. Save it?"));
  EXPECT_FALSE(Form->AllowEditingCheckBox->isChecked());
  EXPECT_TRUE(Form->RichEdit->isReadOnly());
  Form->InfoTimerTimer();
  EXPECT_EQ(Form->ModifiedLabel->text(), "Text is NOT modified");
  EXPECT_TRUE(Proposed.isEmpty());

  // A change of the view is no edit.
  auto *zoom = Form->findChild<QComboBox *>("FontZoomComboBox");
  if (zoom) {
    zoom->setCurrentIndex(zoom->findText("150"));
    Form->FormatOptions->FontZoomComboBoxChange();
    Form->InfoTimerTimer();
    EXPECT_EQ(Form->ModifiedLabel->text(), "Text is NOT modified");
  }

  // A book in pieces can be neither edited nor saved nor printed.
  Form->OpenInPiecesCheckBox->setChecked(true);
  Form->PieceSizeComboBox->setCurrentIndex(Form->PieceSizeComboBox->findText("10000"));
  Form->OpenBook(Write("long.txt", QByteArray("A line of a long book.\n").repeated(1500)));
  ASSERT_GE(Form->Loader->State.PieceCount(), 2);
  EXPECT_FALSE(Form->AllowEditingCheckBox->isEnabled());
  Boxes.clear();
  Form->SaveBookButton->click();
  Form->PrintBookButtonClick();
  EXPECT_EQ(Boxes, QStringList({"The book must be loaded in one piece.", "The book must be loaded in one piece."}));
  EXPECT_TRUE(Proposed.isEmpty());
  EXPECT_EQ(PrinterAsked, 0);
}

TEST_F(EditPrintTest, PlainAndRichSavesFollowTheNameAndAskTheRightQuestions) {
  const QString book = Write("book.txt", "It was a dark night.\n\nAnd a \"quoted\" word.\n");
  Form->OpenBook(book);
  ASSERT_EQ(Form->Enhancer->Prefix, u"");

  // No extension: plain text with ".txt", after the prefix question.
  SaveAs = Dir.filePath("copy");
  EXPECT_TRUE(Form->SaveFile());
  EXPECT_EQ(Proposed.value(0), Dir.filePath("book"));
  EXPECT_TRUE(Asked("without a paragraph prefix"));
  EXPECT_FALSE(Asked("Overwrite"));
  EXPECT_EQ(Boxes.last(), "The book was saved.");
  const QByteArray plain = ReadAll(Dir.filePath("copy.txt"));
  EXPECT_TRUE(plain.startsWith("It was a dark night."));
  EXPECT_TRUE(plain.contains("***** End of Book *****"));

  // ".RTF": rich text under that very name, no prefix question.
  Boxes.clear();
  SaveAs = Dir.filePath("copy.RTF");
  EXPECT_TRUE(Form->SaveFile());
  EXPECT_FALSE(Asked("paragraph prefix"));
  EXPECT_TRUE(ReadAll(SaveAs).startsWith("{\\rtf1"));

  // ".doc": plain text written as ".txt"; it exists now, so it is overwritten
  // only after the question, and "No" writes nothing.
  Boxes.clear();
  Answers["Overwrite"] = false;
  Write("copy.txt", "old");
  SaveAs = Dir.filePath("copy.doc");
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_TRUE(Asked("Book already exists. Overwrite it?"));
  EXPECT_EQ(ReadAll(Dir.filePath("copy.txt")), "old");
  EXPECT_FALSE(QFile::exists(Dir.filePath("copy.doc")));
  EXPECT_FALSE(Asked("The book was saved."));

  // "No" to the prefix question writes nothing either.
  Answers.clear();
  Answers["paragraph prefix"] = false;
  SaveAs = Dir.filePath("other.txt");
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_FALSE(QFile::exists(SaveAs));

  // A cancelled dialog: nothing, no message.
  Boxes.clear();
  SaveAs.clear();
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_TRUE(Boxes.isEmpty());
  EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(EditPrintTest, ManualCommandsAreAskedAboutOnlyForPlainText) {
  Form->OpenBook(Write("cmd.txt", "^B*\nBold text here.\n^B~\nNormal.\n"));
  ASSERT_TRUE(Form->Enhancer->HasManualCommands);
  SetPrefix("Tab");
  Form->OpenBook(Dir.filePath("cmd.txt"));
  Answers["manual formatting commands"] = false;
  SaveAs = Dir.filePath("cmd-out.txt");
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_TRUE(Asked("This book contains manual formatting commands."));
  EXPECT_FALSE(Asked("paragraph prefix"));  // the prefix is Tab
  EXPECT_FALSE(QFile::exists(SaveAs));
  SaveAs = Dir.filePath("cmd-out.rtf");
  Boxes.clear();
  EXPECT_TRUE(Form->SaveFile());
  EXPECT_FALSE(Asked("manual formatting commands"));
}

TEST_F(EditPrintTest, SavingOverTheOpenBookAsksTwiceAndReplacesItWhole) {
  const QString book = Write("open.txt", "Alpha beta gamma.\n");
  Form->OpenBook(book);
  ReplaceWord("beta", "BETA");
  ASSERT_TRUE(Form->BookModified());

  // "No" to the open-book question: the file stays byte for byte, still modified.
  Answers["overwrite the opened book"] = false;
  SaveAs = book;
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_TRUE(Asked("Book already exists. Overwrite it?"));
  EXPECT_TRUE(Asked("You are trying to overwrite the opened book. Continue?"));
  EXPECT_EQ(ReadAll(book), "Alpha beta gamma.\n");
  EXPECT_TRUE(Form->BookModified());

  // Named in other letter case it is another book here: only "exists" is asked.
  Answers.clear();
  Boxes.clear();
  SaveAs = Write("OPEN.txt", "Another book.\n");
  Answers["Book already exists"] = false;
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_TRUE(Asked("Book already exists. Overwrite it?"));
  EXPECT_FALSE(Asked("You are trying to overwrite the opened book. Continue?"));

  Answers.clear();
  Boxes.clear();
  SaveAs = book;
  EXPECT_TRUE(Form->SaveFile());
  EXPECT_TRUE(ReadAll(book).startsWith("Alpha BETA gamma."));
  EXPECT_FALSE(Form->BookModified());
  Form->InfoTimerTimer();
  EXPECT_EQ(Form->ModifiedLabel->text(), "Text is NOT modified");
  EXPECT_EQ(QString::fromStdString(Form->Loader->State.Path), book);  // the reader stays with the open book
}

TEST_F(EditPrintTest, AFailedWriteKeepsTheOldFileAndTheModifiedState) {
  const QString book = Write("keep.txt", "Old text of the book.\n");
  Form->OpenBook(book);
  ReplaceWord("Old", "New");
  // A folder in the way of the temporary file's rename: the write fails.
  QDir(Dir.path()).mkpath("target.txt");
  SaveAs = Dir.filePath("target.txt");
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_EQ(Errors, QStringList({"Failed to save."}));
  EXPECT_FALSE(Asked("The book was saved."));
  EXPECT_TRUE(Form->BookModified());
  SaveAs = Dir.filePath("no/such/folder/x.rtf");
  Errors.clear();
  EXPECT_FALSE(Form->SaveFile());
  EXPECT_EQ(Errors, QStringList({"Failed to save."}));
  EXPECT_TRUE(Form->BookModified());
  EXPECT_EQ(ReadAll(book), "Old text of the book.\n");
}

TEST_F(EditPrintTest, CloseAsksToSaveAndAlwaysCloses) {
  Form->OpenBook(Write("c.txt", "Some text to change.\n"));
  ReplaceWord("Some", "Any");
  SaveAs.clear();  // the save dialog is cancelled
  EXPECT_TRUE(Form->FormCloseQuery());
  EXPECT_TRUE(Asked("Text has been edited. Save it?"));
  EXPECT_EQ(Proposed.size(), 1);
  EXPECT_TRUE(Errors.isEmpty());
  Boxes.clear();
  Answers["Text has been edited"] = false;
  EXPECT_TRUE(Form->FormCloseQuery());
  EXPECT_EQ(Proposed.size(), 1);
}

// A failed save before the book is left is offered again; the edits go only
// on the reader's "No".
TEST_F(EditPrintTest, AFailedSaveBeforeLeavingTheBookIsOfferedAgain) {
  Form->OpenBook(Write("edit.txt", "Words to keep.\n"));
  ReplaceWord("keep", "save");
  SaveAs = Dir.filePath("no/such/folder/x.rtf");
  int asked = 0;
  SetMessageBoxHandler([&](TMessageKind, const QString &text) {
    Boxes << text;
    if (text.startsWith("Text has been edited"))
      return ++asked == 1;  // Yes, then No
    return true;
  });
  EXPECT_TRUE(Form->FormCloseQuery());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Errors, QStringList({"Failed to save."}));
  // Saved the second time: no third question.
  asked = 0;
  Errors.clear();
  SetMessageBoxHandler([&](TMessageKind, const QString &text) {
    Boxes << text;
    if (text.startsWith("Text has been edited")) {
      if (++asked == 2)
        SaveAs = Dir.filePath("saved.rtf");
      return true;
    }
    return true;
  });
  SaveAs = Dir.filePath("no/such/folder/x.rtf");
  Form->OpenBook(Write("next.txt", "Next.\n"));
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(ReadAll(Dir.filePath("saved.rtf")).contains("Words to save."));
}

TEST_F(EditPrintTest, RunHandsTheBookToTheDesktop) {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  const QString book = Write("run.txt", "Text.\n");
  Form->OpenBook(book);
  Form->RunBookButton->click();
  Form->Loader->State.Path = Dir.filePath("gone.txt").toStdString();
  Form->RunBookButton->click();
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(catcher.Urls.size(), 1);
  EXPECT_EQ(catcher.Urls[0].toLocalFile(), book);
  EXPECT_EQ(Errors, QStringList({"Failed to run book."}));
}

// Moving the pointer over the text while editing: the moves reach the reading
// box as they do while reading, at the same places (the number under the
// pointer goes to the converter), and the edits stay.
TEST_F(EditPrintTest, PointerMovesOverTheEditedTextReachTheConverter) {
  Form->FirstActivationDone = true;  // no start-up book
  Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
  Form->OpenBook(Write("move.txt", "They rode 40 miles in 12 days.\n"));
  ReplaceWord("rode", "walked");
  auto *editor = Form->RichEdit->findChild<QTextEdit *>();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(editor->isVisible());
  auto pointAt = [&](const QString &word) {
    QTextCursor c = editor->document()->find(word);
    c.setPosition(c.selectionStart() + 1);
    return editor->viewport()->mapTo(Form, editor->cursorRect(c).center());
  };
  QTest::mouseMove(Form->windowHandle(), pointAt("40"));
  EXPECT_EQ(Form->ConvertMeasureEdit->text(), "40");
  QTest::mouseMove(Form->windowHandle(), pointAt("12"));
  EXPECT_EQ(Form->ConvertMeasureEdit->text(), "12");
  EXPECT_TRUE(Form->RichEdit->Text().starts_with(u"They walked 40 miles"));
  EXPECT_TRUE(Form->BookModified());
}

// A new look (bold, font size, line spacing, colour scheme) rewrites the whole
// box, but the reader's edits are still in it: they are still offered for
// saving. Without edits a new look is no modification.
TEST_F(EditPrintTest, ANewLookKeepsTheEditsOfferedForSaving) {
  Form->OpenBook(Write("look.txt", "Plain words to \"change\" here.\n\nA second paragraph.\n"));
  auto *bold = Form->findChild<QCheckBox *>("BoldFontCheckBox");
  auto *size = Form->findChild<QComboBox *>("FontSizeComboBox");
  auto *spacing = Form->findChild<QComboBox *>("LineSpacingComboBox");
  auto *scheme = Form->findChild<QPushButton *>("SetLowLightColorsButton");
  ASSERT_TRUE(bold && size && spacing && scheme);
  bold->click();
  Form->InfoTimerTimer();
  EXPECT_EQ(Form->ModifiedLabel->text(), "Text is NOT modified");

  ReplaceWord("Plain", "Other");
  const QList<std::function<void()>> newLooks = {
      [&] { bold->click(); },
      [&] { QTest::keyClick(size, Qt::Key_Down); },
      [&] { QTest::keyClick(spacing, Qt::Key_Down); },
      [&] { scheme->click(); },
  };
  for (int i = 0; i < newLooks.size(); ++i) {
    newLooks[i]();
    Form->InfoTimerTimer();
    EXPECT_EQ(Form->ModifiedLabel->text(), "Text is MODIFIED") << "change " << i;
  }
  EXPECT_TRUE(Form->RichEdit->Text().starts_with(u"Other words"));
  Answers["Text has been edited"] = false;
  EXPECT_TRUE(Form->FormCloseQuery());
  EXPECT_TRUE(Asked("Text has been edited. Save it?"));
}

// The save dialog itself asks nothing: an existing name is asked about once,
// by the program, after the name has its extension.
TEST_F(EditPrintTest, TheSaveDialogLeavesTheOverwriteQuestionToTheProgram) {
  Form->OpenBook(Write("mine.txt", "Alpha beta gamma.\n"));
  const QString target = Write("copy.rtf", "old");
  Form->ChooseSaveFile = nullptr;
  // The toolkit's own dialog, which the test can answer, on every platform.
  const bool native = !QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs);
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QStringList dialogQuestions;
  int dialogs = 0, steady = 0, polls = 0;
  QPointer<QFileDialog> seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget *modal = QApplication::activeModalWidget();
    if (++polls > 1500 && modal) {  // 30 s: fail rather than hang
      ADD_FAILURE() << "a dialog never closed";
      modal->close();
      return;
    }
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
      dialogQuestions << box->text();
      box->reject();
    } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
      if (dialog != seen) {
        seen = dialog;
        ++dialogs;
        steady = 0;
      }
      if (dialogs > 1) {  // shown again after a refused question
        dialog->reject();
        return;
      }
      // The dialog reads its folder in the background and may select the
      // proposed name once it has: accept only a choice that stays, and
      // again while the dialog stays open.
      if (dialog->selectedFiles().value(0) != target) {
        dialog->selectFile(target);
        // The dialog leaves a name field that has the focus as it is.
        if (auto *name = dialog->findChild<QLineEdit *>("fileNameEdit"); name && name->hasFocus())
          name->setText(QFileInfo(target).fileName());
        steady = 0;
      } else if (++steady % 3 == 0) {
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
      }
    }
  });
  poll.start(20);
  EXPECT_TRUE(Form->SaveFile());
  poll.stop();
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, !native);
  EXPECT_TRUE(dialogQuestions.isEmpty()) << dialogQuestions.join("; ").toStdString();
  EXPECT_TRUE(Asked("Book already exists. Overwrite it?"));
  EXPECT_TRUE(ReadAll(target).startsWith("{\\rtf1"));
}

// A read-only book is the reader's decision: saving over it fails and leaves
// it byte for byte, still read-only; the edits stay to be saved elsewhere.
TEST_F(EditPrintTest, AReadOnlyBookIsNeitherReplacedNorMadeWritable) {
  const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
  const QFile::Permissions modeBits = QFile::Permissions(0x7777) & ~QFile::Permissions(0x0700);  // not "this user"
  const QString book = Write("kept.txt", "Kept text of the book.\n");
  const QString rich = Write("kept.rtf", "{\\rtf1 Kept.}");
  ASSERT_TRUE(QFile::setPermissions(book, readOnly));
  ASSERT_TRUE(QFile::setPermissions(rich, readOnly));
  Form->OpenBook(book);
  ReplaceWord("Kept", "Lost");
  for (const QString &target : {book, rich}) {
    const QByteArray before = ReadAll(target);
    Boxes.clear();
    Errors.clear();
    SaveAs = target;
    EXPECT_FALSE(Form->SaveFile());
    EXPECT_EQ(Errors, QStringList({"Failed to save."}));
    EXPECT_FALSE(Asked("The book was saved."));
    EXPECT_EQ(ReadAll(target), before);
    EXPECT_EQ(QFileInfo(target).permissions() & modeBits, readOnly);
  }
  EXPECT_EQ(QDir(Dir.path()).entryList({"*kept*"}, QDir::Files | QDir::Hidden).size(), 2);  // nothing beside them
  EXPECT_TRUE(Form->BookModified());
  Errors.clear();
  SaveAs = Dir.filePath("elsewhere.txt");
  EXPECT_TRUE(Form->SaveFile());
  EXPECT_TRUE(ReadAll(SaveAs).startsWith("Lost text of the book."));
}

TEST_F(EditPrintTest, AltSClicksSave) {
  Form->OpenBook(Write("s.txt", "Text.\n"));
  SaveAs.clear();
  QKeyEvent altS(QEvent::KeyPress, Qt::Key_S, Qt::AltModifier, "s");
  QApplication::sendEvent(Form->RichEdit, &altS);
  EXPECT_EQ(Proposed, QStringList({Dir.filePath("s")}));
}

// An edited word survives saving as plain and as rich text and reopening; the
// rest is what the converter makes of the book. PAGELUME_WAR_AND_PEACE names
// the whole book for a run by hand.
TEST_F(EditPrintTest, EditedBookSavedAsTextAndRichTextAndReopened) {
  const QString whole = qEnvironmentVariable("PAGELUME_WAR_AND_PEACE");
  const QString book = whole.isEmpty() ? Fixture("war-and-peace-head.txt") : Dir.filePath("war-and-peace.txt");
  if (!whole.isEmpty()) {
    ASSERT_TRUE(QFile::copy(whole, book));
    Answers["The file is larger than"] = true;
    Form->OpenInPiecesCheckBox->setChecked(false);
  }
  SetPrefix("Tab");
  Form->OpenBook(book);
  const std::u16string before = Form->RichEdit->Text();
  ReplaceWord("Genoa", "Lucca");
  const std::u16string edited = Form->RichEdit->Text();
  ASSERT_NE(before, edited);

  SaveAs = Dir.filePath("wp-edited.txt");
  ASSERT_TRUE(Form->SaveFile());
  SaveAs = Dir.filePath("wp-edited.rtf");
  ASSERT_TRUE(Form->SaveFile());

  // The plain text is the converter's output with that one word changed.
  const QString converted = Dir.filePath("wp-converted.txt");
  QProcess converter;
  converter.start(QString(PAGELUME_BIN_DIR) + "/Pagelume", {"--convert", book, converted, "--prefix", "Tab"});
  ASSERT_TRUE(converter.waitForFinished(60000));
  ASSERT_EQ(converter.exitCode(), 0) << converter.readAllStandardError().toStdString();
  QString expected = QString::fromUtf8(ReadAll(converted));
  const qsizetype at = expected.indexOf("Genoa");
  ASSERT_GE(at, 0);
  expected.replace(at, 5, "Lucca");
  QString saved = QString::fromUtf8(ReadAll(Dir.filePath("wp-edited.txt")));
  EXPECT_EQ(saved.trimmed(), expected.trimmed());

  // Reopened, the rich text is the edited text exactly; the plain text holds the word.
  Form->OpenBook(Dir.filePath("wp-edited.rtf"));
  EXPECT_EQ(Form->RichEdit->Text(), edited);
  Form->OpenBook(Dir.filePath("wp-edited.txt"));
  EXPECT_TRUE(QString::fromStdU16String(Form->RichEdit->Text()).contains("so Lucca and Lucca are now"));

  // An independent reader of rich text sees the word too.
  const QString unrtf = QStandardPaths::findExecutable("unrtf");
  if (!unrtf.isEmpty()) {
    const QString text = RunTool(unrtf, {"--text", Dir.filePath("wp-edited.rtf")}).simplified();
    EXPECT_TRUE(text.contains("so Lucca and Lucca are now")) << text.left(400).toStdString();
  }
  EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(EditPrintTest, PrintingAsksAndNeedsTextAndAPrinter) {
  // Two characters: nothing to print.
  Form->OpenBook(Write("two.rtf", "{\\rtf1\\ansi ab}"));
  ASSERT_LT(Form->RichEdit->TextLength(), 3);
  Form->PrintBookButtonClick();
  EXPECT_EQ(Boxes, QStringList({"There is no text to process."}));
  EXPECT_EQ(PrinterAsked, 0);

  // "No" to the question: nothing else happens.
  Form->OpenBook(Write("p.txt", "A book to print.\n"));
  Boxes.clear();
  Answers["Print text?"] = false;
  Form->PrintBookButtonClick();
  EXPECT_EQ(Boxes, QStringList({"Print text?"}));
  EXPECT_EQ(PrinterAsked, 0);
  EXPECT_TRUE(Errors.isEmpty());

  // No default printer: the error report.
  Answers.clear();
  Form->PrintBookButtonClick();
  EXPECT_EQ(PrinterAsked, 1);
  EXPECT_EQ(Errors, QStringList({"Failed to print."}));
}

class PdfTools {
public:
  QString Info = QStandardPaths::findExecutable("pdfinfo");
  QString Text = QStandardPaths::findExecutable("pdftotext");
  bool Present() const { return !Info.isEmpty() && !Text.isEmpty(); }
  int Pages(const QString &pdf) const {
    QRegularExpression re("Pages:\\s+(\\d+)");
    auto m = re.match(RunTool(Info, {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
  }
  QString PageSize(const QString &pdf) const {
    QRegularExpression re("Page size:\\s+([^\\n]+)");
    return re.match(RunTool(Info, {pdf})).captured(1).trimmed();
  }
  struct TLine {
    QStringList Words;
    QList<double> Lefts;  // each word's left edge
    double Top = 0;
  };
  // The printed lines of the document in their order, in points.
  QList<TLine> Lines(const QString &pdf) const {
    QList<TLine> lines;
    QRegularExpression line("<line xMin=\"[\\d.]+\" yMin=\"([\\d.]+)\"");
    QRegularExpression word("<word xMin=\"([\\d.]+)\"[^>]*>([^<]*)</word>");
    const QString xml = RunTool(Text, {"-bbox-layout", pdf, "-"});
    for (qsizetype at = xml.indexOf("<line "); at >= 0; at = xml.indexOf("<line ", at + 1)) {
      TLine l;
      l.Top = line.match(xml, at).captured(1).toDouble();
      const qsizetype end = xml.indexOf("</line>", at);
      for (auto w = word.globalMatch(xml.mid(at, end - at)); w.hasNext();) {
        auto m = w.next();
        l.Lefts << m.captured(1).toDouble();
        l.Words << m.captured(2);
      }
      lines << l;
    }
    return lines;
  }
  // The box around all words of the document, in points.
  QRectF WordsBox(const QString &pdf) const {
    QRegularExpression re("xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\"");
    QRectF box;
    auto it = re.globalMatch(RunTool(Text, {"-bbox", pdf, "-"}));
    while (it.hasNext()) {
      auto m = it.next();
      QRectF word(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                  QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
      box = box.isNull() ? word : box.united(word);
    }
    return box;
  }
};

TEST_F(EditPrintTest, PrintsTheBookIntoAPdfInsideTheMarginsWhateverTheZoom) {
  PdfTools tools;
  if (!tools.Present())
    GTEST_SKIP() << "poppler-utils are not installed";
  const QString book = Fixture("war-and-peace-head.txt");
  Form->OpenBook(book);
  PdfPath = Dir.filePath("book.pdf");
  Form->PrintBookButtonClick();
  ASSERT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
  ASSERT_GT(Form->LastPrintedPages, 1);
  EXPECT_EQ(tools.Pages(PdfPath), Form->LastPrintedPages);
  EXPECT_TRUE(tools.PageSize(PdfPath).startsWith("595 x 842")) << tools.PageSize(PdfPath).toStdString();
  const QString text = RunTool(tools.Text, {PdfPath, "-"}).simplified();
  EXPECT_TRUE(text.startsWith("The Project Gutenberg EBook of War and Peace, by Leo Tolstoy"))
      << text.left(200).toStdString();
  EXPECT_TRUE(text.contains("“In a moment. À propos,” she added, becoming calm again, “I am"));
  EXPECT_TRUE(text.endsWith("***** End of Book *****"));
  // Left 30 mm, top 20 mm, right 20 mm, bottom 20 mm (1 mm = 2.835 pt).
  const QRectF words = tools.WordsBox(PdfPath);
  EXPECT_GE(words.left(), 30 * 2.835 - 1);
  EXPECT_LE(words.left(), 30 * 2.835 + 40);  // paragraphs start near the margin
  EXPECT_GE(words.top(), 20 * 2.835 - 1);
  EXPECT_LE(words.right(), 595.276 - 20 * 2.835 + 1);
  EXPECT_LE(words.bottom(), 841.89 - 20 * 2.835 + 1);

  // The margins are those of the "Print text" lists.
  Form->PrintLeftMarginComboBox->setCurrentIndex(Form->PrintLeftMarginComboBox->findText("0"));
  Form->PrintTopMarginComboBox->setCurrentIndex(Form->PrintTopMarginComboBox->findText("50"));
  PdfPath = Dir.filePath("margins.pdf");
  Form->PrintBookButtonClick();
  const QRectF moved = tools.WordsBox(PdfPath);
  EXPECT_LT(moved.left(), 10 * 2.835);
  EXPECT_GE(moved.top(), 50 * 2.835 - 1);
  EXPECT_GT(Form->LastPrintedPages, tools.Pages(Dir.filePath("book.pdf")));
  Form->PrintLeftMarginComboBox->setCurrentIndex(Form->PrintLeftMarginComboBox->findText("30"));
  Form->PrintTopMarginComboBox->setCurrentIndex(Form->PrintTopMarginComboBox->findText("20"));

  // The screen zoom does not change the printed pages.
  auto *zoom = Form->findChild<QComboBox *>("FontZoomComboBox");
  ASSERT_NE(zoom, nullptr);
  zoom->setCurrentIndex(zoom->findText("200"));
  Form->FormatOptions->FontZoomComboBoxChange();
  ASSERT_EQ(Form->RichEdit->Zoom(), 2.0);
  const int pages = tools.Pages(Dir.filePath("book.pdf"));
  PdfPath = Dir.filePath("zoomed.pdf");
  Form->PrintBookButtonClick();
  EXPECT_EQ(Form->LastPrintedPages, pages);
  EXPECT_EQ(tools.Pages(PdfPath), pages);
}

// Indents, tab stops and the space after paragraphs are printed at their size
// on the screen, whatever the printer's resolution: a 10 mm first-line indent
// is 10 of the program's millimetres (1/25 inch each) on paper too.
TEST_F(EditPrintTest, PrintedIndentsTabsAndSpacingKeepTheirSize) {
  PdfTools tools;
  if (!tools.Present())
    GTEST_SKIP() << "poppler-utils are not installed";
  const QByteArray words = QByteArray("words ").repeated(50);
  Form->OpenBook(Write("indents.txt", "Alpha " + words + "end.\n^LPI=30*\nBravo " + words +
                                          "end.\n^LPI~\nGo\tDelta " + words + "end.\n"));
  ASSERT_EQ(Form->FormatOptions->FirstLineIndent(), 10);
  ASSERT_EQ(Form->FormatOptions->SpaceAfter(), 5);
  PdfPath = Dir.filePath("indents.pdf");
  Form->PrintBookButtonClick();
  ASSERT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
  const QList<PdfTools::TLine> lines = tools.Lines(PdfPath);
  auto first = [&](const QString &word) {
    for (int i = 0; i < lines.size(); ++i)
      if (lines[i].Words.value(0) == word)
        return i;
    return -1;
  };
  const int alpha = first("Alpha"), bravo = first("Bravo"), gamma = first("Go");
  ASSERT_TRUE(alpha >= 0 && bravo > alpha + 2 && gamma > bravo + 1) << alpha << " " << bravo << " " << gamma;
  const double mm = 72.0 / 25;  // the program's millimetre in points
  auto expectSize = [](double printed, double expected, const char *what) {
    EXPECT_NEAR(printed, expected, expected * 0.05) << what;
  };
  const double left = lines[alpha + 1].Lefts[0];  // the page's left margin
  EXPECT_NEAR(left, 30 * 72 / 25.4, 1);
  expectSize(lines[alpha].Lefts[0] - left, 10 * mm, "first-line indent");
  expectSize(lines[bravo + 1].Lefts[0] - left, 30 * mm, "left indent");
  expectSize(lines[bravo].Lefts[0] - left, 40 * mm, "left and first-line indent");
  // Tab stops every 15 mm from the paragraph's left edge: after the 10 mm
  // indent and "Go" the next one is at 25 mm.
  ASSERT_EQ(lines[gamma].Words.value(1), "Delta");
  expectSize(lines[gamma].Lefts[1] - left, 25 * mm, "tab stop");
  const double pitch = lines[alpha + 2].Top - lines[alpha + 1].Top;
  expectSize(lines[bravo].Top - lines[bravo - 1].Top - pitch, 5 * mm, "space after");
}

// The system's printing: run by scripts/cups-print-check.sh, which starts CUPS
// with its PDF printer as the default (PAGELUME_CUPS_EXPECT=pdf) or with no
// printer at all (PAGELUME_CUPS_EXPECT=none).
TEST_F(EditPrintTest, CupsDefaultPrinterPrintsTheOpenBook) {
  const QString expect = qEnvironmentVariable("PAGELUME_CUPS_EXPECT");
  const QString out = qEnvironmentVariable("PAGELUME_CUPS_PDF_DIR");
  if (expect.isEmpty())
    GTEST_SKIP() << "run by scripts/cups-print-check.sh";
  Form->DefaultPrinter = SystemPrinter;
  Form->OpenBook(Fixture("war-and-peace-head.txt"));
  const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
  Form->PrintBookButton->click();
  if (expect == "none") {
    EXPECT_EQ(Errors, QStringList({"Failed to print."}));
    return;
  }
  ASSERT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
  ASSERT_GT(Form->LastPrintedPages, 0);
  // CUPS-PDF writes the job when it has converted it.
  QString pdf;
  for (int i = 0; i < 600 && pdf.isEmpty(); ++i) {
    for (const QFileInfo &f : QDir(out).entryInfoList({"*.pdf"}, QDir::Files))
      if (f.lastModified() >= started && f.size() > 0)
        pdf = f.filePath();
    if (pdf.isEmpty())
      QThread::msleep(100);
  }
  ASSERT_FALSE(pdf.isEmpty()) << "no PDF in " << out.toStdString();
  PdfTools tools;
  ASSERT_TRUE(tools.Present());
  for (int i = 0; i < 300 && tools.Pages(pdf) < 0; ++i)  // until the file is complete
    QThread::msleep(100);
  EXPECT_EQ(tools.Pages(pdf), Form->LastPrintedPages);
  // CUPS-PDF's conversion drops the text layer (its fonts become Type 3), so
  // page 1 is compared as a picture with the same page printed straight into
  // a PDF at the printer's resolution: the first paragraph is where it belongs.
  std::unique_ptr<QPrinter> system = SystemPrinter();
  ASSERT_NE(system, nullptr);
  QPrinter reference(QPrinter::HighResolution);
  reference.setOutputFormat(QPrinter::PdfFormat);
  reference.setResolution(system->resolution());
  reference.setPageSize(system->pageLayout().pageSize());
  reference.setOutputFileName(Dir.filePath("reference.pdf"));
  std::unique_ptr<QTextDocument> copy(Form->RichEdit->PrintCopy());
  ASSERT_EQ(PrintDocument(*copy, reference, Form->PrintMargins(), "reference"), Form->LastPrintedPages);
  const QString first = RunTool(tools.Text, {"-f", "1", "-l", "1", Dir.filePath("reference.pdf"), "-"}).simplified();
  EXPECT_TRUE(first.startsWith("The Project Gutenberg EBook of War and Peace, by Leo Tolstoy"));
  auto render = [&](const QString &file, const QString &name) {
    RunTool(QStandardPaths::findExecutable("pdftoppm"),
            {"-f", "1", "-l", "1", "-r", "40", "-gray", "-png", "-singlefile", file, Dir.filePath(name)});
    return QImage(Dir.filePath(name + ".png")).convertToFormat(QImage::Format_Grayscale8);
  };
  const QImage printed = render(pdf, "printed"), expected = render(Dir.filePath("reference.pdf"), "expected");
  ASSERT_FALSE(printed.isNull());
  ASSERT_EQ(printed.size(), expected.size());
  // The converted glyphs differ in their pixels, not in where the lines are.
  auto inkRows = [](const QImage &image) {
    std::vector<bool> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width() && !rows[size_t(y)]; ++x)
        rows[size_t(y)] = image.pixelColor(x, y).value() < 160;
    return rows;
  };
  const std::vector<bool> a = inkRows(printed), b = inkRows(expected);
  // The printer's own placement may move the page by a few pixels (up to 2 mm).
  int lines = 0, differ = INT_MAX;
  for (int shift = -3; shift <= 3; ++shift) {
    int d = 0;
    lines = 0;
    for (int y = 0; y < int(b.size()); ++y) {
      const int z = y + shift;
      lines += b[size_t(y)];
      d += b[size_t(y)] != (z >= 0 && z < int(a.size()) && a[size_t(z)]);
    }
    differ = std::min(differ, d);
  }
  EXPECT_GT(lines, 30);               // page 1 has text
  EXPECT_LE(differ, lines / 8 + 2);  // on the same lines
}

TEST(PrintDocumentTest, WiderMarginsNeedMorePagesAndTheDocumentIsUnchanged) {
  QTemporaryDir dir;
  QTextDocument doc;
  QString text;
  for (int i = 0; i < 300; ++i)
    text += QString("Paragraph %1 of a document that is long enough to wrap over a few lines of a page.\n").arg(i);
  doc.setPlainText(text);
  const QString before = doc.toPlainText();
  auto print = [&](const TPrintMargins &m, const QString &name) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(name));
    return PrintDocument(doc, printer, m, "title", nullptr);
  };
  const int narrow = print(TPrintMargins{0, 0, 0, 0}, "narrow.pdf");
  const int wide = print(TPrintMargins{50, 50, 50, 50}, "wide.pdf");
  EXPECT_GT(narrow, 0);
  EXPECT_GT(wide, narrow);
  EXPECT_EQ(doc.toPlainText(), before);
  PdfTools tools;
  if (tools.Present()) {
    EXPECT_EQ(tools.Pages(dir.filePath("wide.pdf")), wide);
    EXPECT_TRUE(RunTool(tools.Info, {dir.filePath("wide.pdf")}).contains("title"));
  }
}

TEST_F(EditPrintTest, DownloadMenuItemsAndTheirTargets) {
  QStringList captions;
  for (QAction *a : Form->DownloadBooksPopupMenu->actions())
    captions << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(captions, QStringList({"Project Gutenberg", "Project Gutenberg - Search", "-", "Alex", "Online Books"}));
  EXPECT_EQ(Form->DownloadBooks_GutenbergMenu->statusTip(), "All sorts of books");

  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("https", &catcher, "Open");
  QDesktopServices::setUrlHandler("file", &catcher, "Open");
  Form->DownloadBooks_GutenbergMenu->trigger();
  Form->DownloadBooks_AlexMenu->trigger();
  Form->DownloadBooks_OnlineBooksMenu->trigger();
  // The local search form is missing until it is beside the program.
  Form->DownloadBooks_GutenbergSearchMenu->trigger();
  EXPECT_EQ(Errors, QStringList({"Failed to run file."}));
  QFile::copy(QString(PAGELUME_SOURCE_DIR) + "/data/PGSearch.htm", Dir.filePath("PGSearch.htm"));
  Form->DownloadBooks_GutenbergSearchMenu->trigger();
  QDesktopServices::unsetUrlHandler("https");
  QDesktopServices::unsetUrlHandler("file");
  ASSERT_EQ(catcher.Urls.size(), 4);
  EXPECT_EQ(catcher.Urls[0].host(), "www.gutenberg.org");
  EXPECT_EQ(catcher.Urls[1].scheme(), "https");
  EXPECT_EQ(catcher.Urls[2].scheme(), "https");
  EXPECT_TRUE(catcher.Urls[3].isLocalFile());
  EXPECT_TRUE(catcher.Urls[3].toLocalFile().endsWith("/PGSearch.htm"));
  EXPECT_EQ(Errors.size(), 1);

  // The search form sends its words to the library's search.
  const QString form = QString::fromUtf8(ReadAll(Dir.filePath("PGSearch.htm")));
  EXPECT_TRUE(form.contains("action=\"https://www.gutenberg.org/ebooks/search/\""));
  EXPECT_TRUE(form.contains("name=\"query\""));
}

TEST_F(EditPrintTest, HelpWindowOpensAtTheContextsAndSearches) {
  // Without the manual beside the program: a report, no window.
  Form->ShowHelpAt(0);
  EXPECT_EQ(Errors, QStringList({"Failed to show the help."}));
  EXPECT_EQ(Form->HelpForm == nullptr || !Form->HelpForm->isVisible(), true);
  Errors.clear();

  QFile::copy(QString(PAGELUME_SOURCE_DIR) + "/data/Help.html", Dir.filePath("Help.html"));
  Form->HelpButtonClick();
  ASSERT_NE(Form->HelpForm, nullptr);
  EXPECT_TRUE(Form->HelpForm->isVisible());
  QTextBrowser *browser = Form->HelpForm->Browser;
  EXPECT_TRUE(browser->source().toLocalFile().endsWith("/Help.html"));
  EXPECT_TRUE(browser->toPlainText().contains("Pagelume help"));

  // Ctrl+T (tips) and F1 (the main window) reach their anchors; back returns.
  QKeyEvent ctrlT(QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier, "t");
  QApplication::sendEvent(Form->RichEdit, &ctrlT);
  EXPECT_EQ(browser->source().fragment(), "10000");
  Form->ShowHelpAt(TPagelumeForm::HelpContext);
  EXPECT_EQ(browser->source().fragment(), "100");
  EXPECT_TRUE(Form->HelpForm->BackButton->isEnabled());
  Form->HelpForm->BackButton->click();
  EXPECT_EQ(browser->source().fragment(), "10000");
  EXPECT_TRUE(Form->HelpForm->ForwardButton->isEnabled());

  // Every anchor the program opens exists in the manual.
  const QString html = QString::fromUtf8(ReadAll(Dir.filePath("Help.html")));
  for (const char *anchor : {"name=\"100\"", "name=\"10000\"", "name=\"editing\"", "name=\"commands\""})
    EXPECT_TRUE(html.contains(anchor)) << anchor;

  // Search: found from the cursor on, wrapping once; a missing text is said so.
  Form->HelpForm->SearchEdit->setText("Alt + S");
  EXPECT_TRUE(Form->HelpForm->FindNext());
  EXPECT_EQ(browser->textCursor().selectedText(), "Alt + S");
  Form->HelpForm->SearchEdit->setText("no such words in the manual");
  EXPECT_FALSE(Form->HelpForm->FindNext());
  EXPECT_EQ(Form->HelpForm->SearchStatusLabel->text(), "Not found");
  EXPECT_TRUE(Errors.isEmpty());
}

}  // namespace

#include "EditPrintTest.moc"

// Editing shows the text where reading showed it: the same top line, each
// paragraph at the same height (empty paragraphs and the spaces before and
// after paragraphs counted alike), whether the book is plain or rich text.
TEST_F(EditPrintTest, TheEditingViewKeepsEveryLineWhereReadingShowedIt) {
  Form->FirstActivationDone = true;  // no start-up book
  Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Form));
  QByteArray plain;
  for (int i = 0; i < 80; ++i)
    plain += "Paragraph " + QByteArray::number(i) +
             " runs over a few lines of the box, so that its\nlines are joined again and wrapped by the reader.\n\n";
  QByteArray rich = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 ";
  for (int i = 0; i < 60; ++i)
    rich += QByteArray("\\pard\\sb") + (i % 3 ? "120" : "240") + "\\sa240 Paragraph " + QByteArray::number(i) +
            " with space before and after it.\\par ";
  rich += "}";
  for (const QString &book : {Write("lines.txt", plain), Write("spaced.rtf", rich)}) {
    SCOPED_TRACE(book.toStdString());
    Form->OpenBook(book);
    ASSERT_TRUE(Form->AllowEditingCheckBox->isEnabled());
    Form->RichEdit->GotoLine(30);
    std::vector<std::pair<int, QRect>> reading;
    QTextBlock b = Form->RichEdit->document()->findBlock(Form->RichEdit->CharFromPoint(QPoint(5, 5)));
    for (int i = 0; i < 24 && b.isValid(); ++i, b = b.next()) {
      QTextCursor c(Form->RichEdit->document());
      c.setPosition(b.position());
      const QRect r = Form->RichEdit->cursorRect(c);
      if (r.height() > 0 && r.y() >= 0)  // on the screen
        reading.emplace_back(b.position(), r);
    }
    ASSERT_GE(reading.size(), 5u);
    Form->AllowEditingCheckBox->click();
    auto *editor = Form->RichEdit->findChild<QTextEdit *>();
    ASSERT_TRUE(editor && editor->isVisible());
    for (const auto &[position, read] : reading) {
      QTextCursor c(Form->RichEdit->document());
      c.setPosition(position);
      const QRect edit = Form->RichEdit->cursorRect(c);
      EXPECT_EQ(edit.x(), read.x()) << position;
      EXPECT_NEAR(edit.y(), read.y(), 1) << position;
    }
    Form->AllowEditingCheckBox->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(Form->RichEdit->findChild<QTextEdit *>(), nullptr);
  }
  EXPECT_TRUE(Errors.isEmpty());
}
