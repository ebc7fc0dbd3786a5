#include "Explorer.h"

#include "AboutDialog.h"
#include "BackSounds.h"
#include "BrowserList.h"
#include "HelpWindow.h"
#include "ColorDialog.h"
#include "ErrorDialog.h"
#include "PagelumeDialog.h"
#include "Program.h"
#include "RTF.h"
#include "StoredTextList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

// A sound output that plays nothing.
class TSilentOutput : public TWaveOutput {
public:
  void StopWave() override {}
  double GetWaveVolume() const override { return Level; }

protected:
  bool StartWave(const std::string &, bool) override { return true; }
  void SetLevel(double level) override { Level = level; }

private:
  double Level = 1.0;
};

namespace {

// ---- What a crash or a hang leaves on the terminal ----
// The last events as plain bytes, readable from a signal handler and from the
// watchdog thread.
constexpr int RingSize = 50;
constexpr int LineSize = 240;
char Ring[RingSize][LineSize];
std::atomic<int> RingNext{0};
std::mutex RingMutex;
char RingHeader[128];

void RingPut(const QByteArray &line) {
  std::lock_guard<std::mutex> lock(RingMutex);
  const int slot = RingNext.load() % RingSize;
  const int length = std::min<int>(line.size(), LineSize - 2);
  std::memcpy(Ring[slot], line.constData(), length);
  Ring[slot][length] = '\n';
  Ring[slot][length + 1] = 0;
  RingNext.store(RingNext.load() + 1);
}

void WriteAll(const char *text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t written = ::write(2, text, left);
    if (written <= 0)
      return;
    text += written;
    left -= written;
  }
}

void DumpRing() {
  WriteAll(RingHeader);
  const int next = RingNext.load();
  for (int i = std::max(0, next - RingSize); i < next; ++i)
    WriteAll(Ring[i % RingSize]);
}

struct sigaction OldActions[32];
const int CrashSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

void OnCrash(int signal) {
  DumpRing();
  sigaction(signal, &OldActions[signal], nullptr);
  raise(signal);
}

void InstallCrashDump() {
  static bool installed = false;
  if (installed)
    return;
  installed = true;
  for (int signal : CrashSignals) {
    struct sigaction action {};
    action.sa_handler = OnCrash;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, &OldActions[signal]);
  }
#if defined(__SANITIZE_ADDRESS__)
  __sanitizer_set_death_callback(DumpRing);
#endif
}

// Ends the process with the last events when one event never returns.
class TWatchdog {
public:
  TWatchdog() : Thread([this] { Watch(); }) {}
  ~TWatchdog() {
    Stop = true;
    Thread.join();
  }
  void Begin() { Started = Now(); }
  void End() { Started = 0; }

private:
  static int64_t Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void Watch() {
    while (!Stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const int64_t started = Started;
      if (started != 0 && Now() - started > HangMs) {
        WriteAll("explorer: one event has not returned for 20 s (a hang)\n");
        DumpRing();
        std::_Exit(3);
      }
    }
  }
  static constexpr int64_t HangMs = 20000;
  std::atomic<bool> Stop{false};
  std::atomic<int64_t> Started{0};
  std::thread Thread;
};

TWatchdog &Watchdog() {
  static TWatchdog watchdog;
  return watchdog;
}

QString Shorten(QString text, int length = 60) {
  text.replace('\n', "\\n").replace('\r', "\\r");
  return text.size() > length ? text.left(length) + "..." : text;
}

QString ModifierName(Qt::KeyboardModifiers modifiers) {
  QString name;
  if (modifiers & Qt::ControlModifier)
    name += "Ctrl+";
  if (modifiers & Qt::ShiftModifier)
    name += "Shift+";
  if (modifiers & Qt::AltModifier)
    name += "Alt+";
  return name;
}

QString ButtonName(Qt::MouseButton button) {
  return button == Qt::LeftButton ? "left" : button == Qt::RightButton ? "right" : "middle";
}

void CopyFile(const QString &from, const QString &to) {
  QFile::remove(to);
  QFile::copy(from, to);
  QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner);
}

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// ---- Set-up ----

namespace {
QtMessageHandler PreviousMessageHandler = nullptr;

void QuietPlatformWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  // The offscreen platform cannot raise windows or grab the keyboard, and
  // says so at every popup.
  if (message.startsWith("This plugin does not support"))
    return;
  if (PreviousMessageHandler)
    PreviousMessageHandler(type, context, message);
  else
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
}  // namespace

TExplorer::TExplorer(uint64_t seed) : Seed(seed), Random(seed) {
  InstallCrashDump();
  PreviousMessageHandler = qInstallMessageHandler(QuietPlatformWarnings);
  Watchdog();
  std::snprintf(RingHeader, sizeof RingHeader, "explorer: seed %llu; the last events:\n",
                static_cast<unsigned long long>(seed));
  MakeFolders();
  SavedHome = qgetenv("HOME");
  qputenv("HOME", QFile::encodeName(Root.filePath("home")));
  SetProgramDirOverride(ProgramDir);
  for (const char *scheme : {"file", "http", "https", "mailto", "ftp"})
    QDesktopServices::setUrlHandler(scheme, &Urls, "Open");
  InstallErrorForm(new TErrorForm);
  AboutForm = new TAboutForm;
  qApp->installEventFilter(this);
  TStoredTextList::MidWriteHook = [this] {
    // The files on disk are whole while another one is being written.
    FileStamps.clear();
    CheckStoredFiles();
  };
  CreateForm();
  ShelveBooks();
}

TExplorer::~TExplorer() {
  TStoredTextList::MidWriteHook = nullptr;
  qApp->removeEventFilter(this);
  DestroyForm();
  delete AboutForm.data();
  TErrorForm *errors = ErrorForm.data();
  InstallErrorForm(nullptr);
  delete errors;
  for (const char *scheme : {"file", "http", "https", "mailto", "ftp"})
    QDesktopServices::unsetUrlHandler(scheme);
  SetProgramDirOverride(QString());
  qputenv("HOME", SavedHome);
  qInstallMessageHandler(PreviousMessageHandler);
}

void TExplorer::MakeFolders() {
  const QString source = PAGELUME_SOURCE_DIR "/data/";
  const QString books = PAGELUME_TEST_DATA "/books/";
  ProgramDir = Root.filePath("program");
  BooksDir = Root.filePath("books");
  for (const QString &dir : {ProgramDir, ProgramDir + "/BackImages", ProgramDir + "/BackSounds", BooksDir,
                             BooksDir + "/sub", Root.filePath("home"), Root.filePath("media"),
                             Root.filePath("profiles"), Root.filePath("saved")})
    QDir().mkpath(dir);
  for (const char *name : {"Welcome.txt", "Help.html", "ErrorFix.rtf", "PGSearch.htm", "Readme.txt"})
    CopyFile(source + name, ProgramDir + "/" + name);
  CopyFile(source + "BackImages/DefaultRich.bmp", ProgramDir + "/BackImages/DefaultRich.bmp");
  CopyFile(source + "BackImages/DefaultScreen.bmp", ProgramDir + "/BackImages/DefaultScreen.bmp");
  CopyFile(source + "BackSounds/Rain.wav", ProgramDir + "/BackSounds/Rain.wav");
  CopyFile(source + "BackImages/DefaultRich.bmp", Root.filePath("media/picture.bmp"));
  CopyFile(source + "BackSounds/Rain.wav", Root.filePath("media/rain.wav"));

  // A book in one piece with formatting commands, one long enough for pieces,
  // a rich-text book with a link, one with chapters, and one that is missing.
  CopyFile(books + "handwritten.txt", BooksDir + "/commands.txt");
  QByteArray longBook;
  for (const char *name : {"pride-head.txt", "alice-head.txt", "tour-du-monde-head.txt", "war-and-peace-head.txt",
                           "two-cities-cp1252-head.txt"})
    longBook += ReadAll(books + name);
  QFile file(BooksDir + "/long.txt");
  if (file.open(QIODevice::WriteOnly))
    file.write(longBook);
  file.close();
  CopyFile(PAGELUME_TEST_DATA "/rtf/p058b_link.rtf", BooksDir + "/link.rtf");
  CopyFile(PAGELUME_TEST_DATA "/rtf/p056_footnotes.rtf", BooksDir + "/sub/notes.rtf");
  CopyFile(books + "headings-cp1252.txt", BooksDir + "/sub/chapters.txt");
  CopyFile(books + "pride-head.txt", BooksDir + "/missing.txt");
  Books = {BooksDir + "/commands.txt", BooksDir + "/long.txt", BooksDir + "/link.rtf",
           BooksDir + "/sub/notes.rtf", BooksDir + "/sub/chapters.txt", BooksDir + "/missing.txt"};

  // The dictionary stand-in records the word it is given.
  const QString dictionary = Root.filePath("media/dictionary.sh");
  QFile script(dictionary);
  if (script.open(QIODevice::WriteOnly))
    script.write("#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/dictionary-calls.txt\"\n");
  script.close();
  QFile::setPermissions(dictionary, QFile::permissions(dictionary) | QFileDevice::ExeOwner);

  ChoosablePaths = Books;
  ChoosablePaths << Root.filePath("saved/copy.txt") << Root.filePath("saved/copy.rtf") << Root.filePath("saved/copy")
                 << Root.filePath("saved/copy.doc") << Root.filePath("media/picture.bmp")
                 << Root.filePath("media/rain.wav") << dictionary << Root.filePath("profiles/evening.plp")
                 << BooksDir + "/PagelumeProfile.plp" << BooksDir + "/commands.plp" << Root.filePath("profiles");
}

void TExplorer::CreateForm() {
  Form = new TPagelumeForm;
  Silent = std::make_unique<TSilentOutput>();
  Form->Sounds->SetOutput(Silent.get());
  Form->IsApplicationActive = [] { return true; };
  Form->DefaultPrinter = [this]() -> std::unique_ptr<QPrinter> {
    if (Chance(0.3)) {
      Note("  (no printer)");
      return nullptr;
    }
    Note("  (printed to a file)");
    auto printer = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(Root.filePath("printed.pdf"));
    return printer;
  };
  Form->Start();
  Form->setGeometry(0, 0, 1024, 768);
  Form->show();
  Form->activateWindow();
  QCoreApplication::processEvents();
  Form->ApplicationEventsActivate();
  QCoreApplication::processEvents();
}

void TExplorer::DestroyForm() {
  if (!Form)
    return;
  Form->Sounds->SetOutput(Form->SoundOutput.get());
  delete Form;
  Form = nullptr;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TExplorer::ShelveBooks() {
  // Every book on the shelf, then one of them gone.
  for (const QString &book : Books) {
    Form->OpenBook(book);
    QCoreApplication::processEvents();
    Form->PutBookshelfButtonClick();
  }
  QFile::remove(BooksDir + "/missing.txt");
  Form->OpenBook(Books.first());
  QCoreApplication::processEvents();
  Form->RichEdit->document()->setModified(false);
  FileStamps.clear();
}

// ---- Random choices ----

int TExplorer::Pick(int count) {
  if (count <= 1)
    return 0;
  return static_cast<int>(Random() % static_cast<uint64_t>(count));
}

bool TExplorer::Chance(double p) { return static_cast<double>(Random() % 1000000) < p * 1000000.0; }

int TExplorer::EventLimitMs() {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers make everything several times slower; a stall is still a stall.
  return 8000;
#else
  return 2000;
#endif
}

void TExplorer::Note(const QString &text) {
  const QString line = QString("%1: %2").arg(Done).arg(text);
  Log.append(line);
  if (Log.size() > 400)
    Log.erase(Log.begin(), Log.begin() + 200);
  RingPut(line.toUtf8());
  static const QByteArray logPath = qgetenv("PAGELUME_EXPLORE_LOG");
  if (!logPath.isEmpty()) {
    static FILE *log = std::fopen(logPath.constData(), "a");
    if (log) {
      std::fprintf(log, "%s\n", line.toUtf8().constData());
      std::fflush(log);
    }
  }
}

QString TExplorer::Summary() const {
  return QString("seed %1: %2 events, %3 in editing mode, %4 with edits in the box, %5 dialogs, %6 menus, "
                 "%7 save questions, %8 restarts")
      .arg(Seed).arg(Done).arg(EditingEvents).arg(ModifiedEvents).arg(Dialogs).arg(Menus).arg(Questions)
      .arg(Restarts);
}

QStringList TExplorer::LastEvents(int count) const { return Log.mid(std::max<qsizetype>(0, Log.size() - count)); }

QString TExplorer::Describe(QWidget *widget) {
  if (!widget)
    return "nothing";
  QString text = widget->metaObject()->className();
  if (!widget->objectName().isEmpty())
    text += "#" + widget->objectName();
  QString caption;
  if (auto *button = qobject_cast<QAbstractButton *>(widget))
    caption = button->text();
  else if (widget->isWindow())
    caption = widget->windowTitle();
  if (!caption.isEmpty())
    text += " \"" + Shorten(caption, 30) + "\"";
  return text;
}

// ---- Events ----

QWidget *TExplorer::PickVisibleIn(QWidget *root) {
  QList<QWidget *> visible;
  for (QWidget *widget : root->findChildren<QWidget *>())
    if (widget->isVisible() && !widget->isWindow() && widget->width() > 0 && widget->height() > 0)
      visible.append(widget);
  return visible.isEmpty() ? root : PickOf(visible);
}

QWidget *TExplorer::PickTarget() {
  if (QWidget *popup = QApplication::activePopupWidget(); popup && Chance(0.85))
    return PickVisibleIn(popup);
  if (Form->HelpForm && Form->HelpForm->isVisible() && Chance(0.1))
    return PickVisibleIn(Form->HelpForm);
  return nullptr;
}

// Moves the pointer onto a point of a widget and clicks there with the left
// button, as long as the window is still there.
void TExplorer::ClickAt(QWidget *on, const QPoint &local, bool doubleClick) {
  QPointer<QWindow> window = on->window()->windowHandle();
  if (!window)
    return;
  const QPoint at = window->mapFromGlobal(on->mapToGlobal(local));
  QTest::mouseMove(window, at);
  if (!window || !window->isVisible())
    return;
  if (doubleClick)
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, at);
  else
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

void TExplorer::PointerEvent(QWidget *target) {
  QPointer<QWidget> top = target->window();
  QPointer<QWindow> window = top->windowHandle();
  if (!window || !top->isVisible())
    return;
  const QPoint local(Pick(std::max(1, target->width())), Pick(std::max(1, target->height())));
  const QPoint global = target->mapToGlobal(local);
  const QPoint inWindow = window->mapFromGlobal(global);
  QPointer<QWidget> under = top->childAt(top->mapFromGlobal(global));
  const QString where = QString("%1 at %2,%3").arg(Describe(under ? under.data() : top.data())).arg(local.x()).arg(local.y());
  static const Qt::KeyboardModifiers modifierSets[] = {Qt::NoModifier, Qt::NoModifier, Qt::NoModifier,
                                                       Qt::ControlModifier, Qt::ShiftModifier, Qt::AltModifier};
  const Qt::KeyboardModifiers modifiers = modifierSets[Pick(6)];
  static const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton,
                                            Qt::RightButton, Qt::MiddleButton};
  const Qt::MouseButton button = buttons[Pick(6)];
  // Every event may close the window it went to (a menu, a dialog).
  auto gone = [&] { return !window || !top || !top->isVisible(); };
  const int kind = Pick(100);
  if (kind < 40) {
    Note("move over " + where);
    QTest::mouseMove(window, inWindow);
  } else if (kind < 72) {
    Note(QString("%1%2 click on %3").arg(ModifierName(modifiers), ButtonName(button), where));
    QTest::mouseMove(window, inWindow);
    if (!gone())
      QTest::mouseClick(window, button, modifiers, inWindow);
  } else if (kind < 82) {
    Note(QString("%1%2 double click on %3").arg(ModifierName(modifiers), ButtonName(button), where));
    QTest::mouseMove(window, inWindow);
    if (!gone())
      QTest::mouseDClick(window, button, modifiers, inWindow);
  } else if (kind < 95) {
    const int delta = (Chance(0.5) ? 120 : -120) * (1 + Pick(3));
    const bool held = Chance(0.1);
    Note(QString("%1wheel %2%3 over %4").arg(ModifierName(modifiers)).arg(delta).arg(held ? " (left held)" : "", where));
    QTest::mouseMove(window, inWindow);
    QWidget *receiver = under ? under.data() : top.data();
    if (gone() || !receiver)
      return;
    QWheelEvent wheel(receiver->mapFromGlobal(QPointF(global)), QPointF(global), QPoint(), QPoint(0, delta),
                      held ? Qt::LeftButton : Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::sendEvent(receiver, &wheel);
  } else {
    // A drag: press, move somewhere in the same window, release.
    const QPoint to(Pick(std::max(1, top->width())), Pick(std::max(1, top->height())));
    const QPoint toGlobal = top->mapToGlobal(to);
    Note(QString("drag from %1 to %2,%3").arg(where).arg(to.x()).arg(to.y()));
    QTest::mouseMove(window, inWindow);
    if (!gone())
      QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, inWindow);
    if (!gone())
      QTest::mouseMove(window, window->mapFromGlobal(toGlobal));
    if (!gone())
      QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, window->mapFromGlobal(toGlobal));
    QTestPrivate::qtestMouseButtons = Qt::NoButton;  // no button stays held for the next event
  }
}

void TExplorer::KeyEvent() {
  struct TKey {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
  };
  static const TKey keys[] = {
      // Reading.
      {Qt::Key_Space, {}}, {Qt::Key_Up, {}}, {Qt::Key_Down, {}}, {Qt::Key_PageUp, {}}, {Qt::Key_PageDown, {}},
      {Qt::Key_Home, {}}, {Qt::Key_End, {}}, {Qt::Key_Left, {}}, {Qt::Key_Right, {}}, {Qt::Key_Return, {}},
      {Qt::Key_Tab, {}}, {Qt::Key_Backspace, {}}, {Qt::Key_Delete, {}}, {Qt::Key_Down, Qt::ShiftModifier},
      {Qt::Key_End, Qt::ControlModifier}, {Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_X, {}},
      // The window's keys.
      {Qt::Key_F1, {}}, {Qt::Key_F3, {}}, {Qt::Key_F5, {}}, {Qt::Key_F5, Qt::ControlModifier}, {Qt::Key_F6, {}},
      {Qt::Key_F7, {}}, {Qt::Key_F10, {}}, {Qt::Key_T, Qt::ControlModifier}, {Qt::Key_1, Qt::AltModifier},
      {Qt::Key_2, Qt::AltModifier}, {Qt::Key_3, Qt::AltModifier}, {Qt::Key_4, Qt::AltModifier},
      {Qt::Key_5, Qt::AltModifier}, {Qt::Key_A, Qt::AltModifier}, {Qt::Key_C, Qt::AltModifier},
      {Qt::Key_F, Qt::AltModifier}, {Qt::Key_G, Qt::AltModifier}, {Qt::Key_O, Qt::AltModifier},
      {Qt::Key_P, Qt::AltModifier}, {Qt::Key_S, Qt::AltModifier},
      // The box's own shortcuts, kept or discarded.
      {Qt::Key_Z, Qt::ControlModifier}, {Qt::Key_X, Qt::ControlModifier}, {Qt::Key_C, Qt::ControlModifier},
      {Qt::Key_V, Qt::ControlModifier}, {Qt::Key_A, Qt::ControlModifier}, {Qt::Key_E, Qt::ControlModifier},
      {Qt::Key_1, Qt::ControlModifier}};
  QWidget *receiver = QApplication::activePopupWidget();
  if (!receiver)
    receiver = QApplication::focusWidget();
  if (!receiver)
    receiver = Form;
  TKey key = keys[Pick(std::size(keys))];
  if (Chance(0.1))  // any accelerator of a caption
    key = {static_cast<Qt::Key>(Qt::Key_A + Pick(26)), Qt::AltModifier};
  if (Chance(0.02))  // the window hides
    key = {Qt::Key_Escape, {}};
  Note(QString("key %1%2 to %3")
           .arg(ModifierName(key.Modifiers), QKeySequence(key.Key).toString(), Describe(receiver)));
  QTest::keyClick(receiver, key.Key, key.Modifiers);
}

void TExplorer::TypeText() {
  QList<QWidget *> boxes;
  for (QWidget *widget : Form->findChildren<QWidget *>()) {
    if (!widget->isVisible() || !widget->isEnabled())
      continue;
    auto *line = qobject_cast<QLineEdit *>(widget);
    auto *combo = qobject_cast<QComboBox *>(widget);
    if ((line && !line->isReadOnly()) || (combo && combo->isEditable()) || qobject_cast<QPlainTextEdit *>(widget))
      boxes.append(widget);
  }
  if (boxes.isEmpty() || !Form->RichEdit->isReadOnly() || Chance(0.3))
    boxes.append(Form->RichEdit);
  QWidget *box = PickOf(boxes);
  static const char *const texts[] = {"12", "3.5", "100 km", "-7", "0", "abc", "Chapter", "The", "99999999999",
                                      " ", "5 mph", "^B", "x y", "2,5", "C:\\", "/tmp", "*.txt"};
  const QString text = QString::fromUtf8(texts[Pick(std::size(texts))]);
  Note(QString("type \"%1\" into %2").arg(Shorten(text), Describe(box)));
  ClickAt(box, box->rect().center());
  QWidget *focus = QApplication::focusWidget();
  if (!focus)
    return;
  QTest::keyClicks(focus, text);
  if (Chance(0.5) && QApplication::focusWidget())
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

// Brings a control of the sidebar into view as a person would (the pointer to
// the sidebar's strip, the tabs of its pages), then clicks it.
void TExplorer::RevealAndClick(QWidget *widget) {
  QWindow *window = Form->windowHandle();
  if (!window || !widget)
    return;
  if (!Form->Container_MainPanel->isVisible()) {
    const QPoint strip(Pick(std::max(1, Form->RichEdit->x())), Form->height() / 2);
    Note(QString("move to the sidebar's strip at %1,%2").arg(strip.x()).arg(strip.y()));
    QTest::mouseMove(window, window->mapFromGlobal(Form->mapToGlobal(strip)));
  }
  // The pages that hold the control, outermost first.
  QList<QPair<QTabWidget *, int>> tabs;
  for (QWidget *w = widget; w && w != Form; w = w->parentWidget())
    if (auto *pages = qobject_cast<QTabWidget *>(w->parentWidget() ? w->parentWidget()->parentWidget() : nullptr))
      if (pages->indexOf(w) >= 0)
        tabs.prepend({pages, pages->indexOf(w)});
  for (auto [pages, index] : tabs) {
    if (!pages->isVisible() || pages->currentIndex() == index || !pages->isTabEnabled(index))
      continue;
    Note(QString("click the tab \"%1\"").arg(pages->tabText(index)));
    ClickAt(pages->tabBar(), pages->tabBar()->tabRect(index).center());
  }
  if (!widget->isVisible() || qobject_cast<QTabWidget *>(widget->parentWidget() ? widget->parentWidget()->parentWidget() : nullptr))
    return;
  Note("click " + Describe(widget));
  // A check box takes the click on its box and caption only.
  const bool box = qobject_cast<QCheckBox *>(widget) != nullptr;
  ClickAt(widget, box ? QPoint(std::min(8, widget->width() / 2), widget->height() / 2) : widget->rect().center());
}

void TExplorer::TurnPage() {
  const QList<QTabWidget *> all = Form->Container_MainPanel->findChildren<QTabWidget *>();
  if (all.isEmpty())
    return;
  QTabWidget *pages = PickOf(all);
  if (pages->count() > 0)
    RevealAndClick(pages->widget(Pick(pages->count())));
}

void TExplorer::DropBook() {
  const QString book = PickOf(Books);
  Note("drop the file " + QFileInfo(book).fileName() + " on the window");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(book)});
  const QPoint at = Form->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(Form, &enter);
  if (!enter.isAccepted())
    return;
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(Form, &drop);
}

void TExplorer::Step() {
  if (QWidget *target = PickTarget()) {
    if (Chance(0.3))
      KeyEvent();
    else
      PointerEvent(target);
    return;
  }
  if (Form->windowState() & Qt::WindowMinimized) {
    if (Chance(0.5)) {
      Note("the window is restored");
      Form->showNormal();
      Form->activateWindow();
      return;
    }
  }
  const int kind = Pick(1000);
  if (kind < 350) {
    PointerEvent(Form->RichEdit);
  } else if (kind < 600) {
    if (!Form->Container_MainPanel->isVisible()) {
      QWindow *window = Form->windowHandle();
      const QPoint strip(Pick(std::max(1, Form->RichEdit->x())), Pick(Form->height()));
      Note(QString("move to the sidebar's strip at %1,%2").arg(strip.x()).arg(strip.y()));
      QTest::mouseMove(window, window->mapFromGlobal(Form->mapToGlobal(strip)));
    } else if (Chance(0.6)) {
      PointerEvent(PickVisibleIn(Form->Container_MainPanel));
    } else {
      // The controls a reader uses most, wherever their page is.
      QList<QWidget *> controls = {Form->BrowserListBox,     Form->PutBookshelfButton, Form->OpenBookshelfButton,
                                   Form->RemoveBookshelfButton, Form->BookmarkAutoButton, Form->Bookmark1Button,
                                   Form->Bookmark2Button,    Form->Bookmark5Button,    Form->SaveBookButton,
                                   Form->RunBookButton,      Form->PrintBookButton,    Form->ChaptersButton,
                                   Form->NextPieceButton,    Form->PreviousPieceButton, Form->OpenInPiecesCheckBox,
                                   Form->EnhanceTextCheckBox, Form->SetHighLightColorsButton,
                                   Form->SetLowStrainColorsButton, Form->SetLowLightColorsButton,
                                   Form->LoadProfileButton,  Form->SaveProfileButton,  Form->DeleteProfileButton,
                                   Form->ChangeDictionaryButton, Form->DownloadBooksButton, Form->HelpButton,
                                   Form->AboutButton,        Form->UseScreenBackImageCheckBox,
                                   Form->ChangeBackSoundButton, Form->UpBrowserButton, Form->BrowserHistoryButton};
      for (QListWidget *list : Form->ConvertPageControl->findChildren<QListWidget *>())
        controls.append(list);
      for (QWidget *panel : Form->Container_MainPanel->findChildren<TColorPanel *>())
        controls.append(panel);
      QWidget *control = PickOf(controls);
      if (!control->isVisible())
        RevealAndClick(control);
      else
        PointerEvent(control);
    }
  } else if (kind < 640) {
    QList<QWidget *> around = {Form->CurrentFileInfoLabel, Form->HintLabel, Form->ClockLabel, Form};
    PointerEvent(PickOf(around));
  } else if (kind < 820) {
    KeyEvent();
  } else if (kind < 870) {
    TypeText();
  } else if (kind < 910) {
    RevealAndClick(Form->AllowEditingCheckBox);
  } else if (kind < 970) {
    TurnPage();
  } else if (kind < 976) {
    DropBook();
  } else if (kind < 979) {
    RevealAndClick(Form->CloseProgramButton);
  } else if (kind < 980) {
    Note("the window manager closes the window");
    Form->close();
  } else if (kind < 990) {
    RevealAndClick(Form->HideProgramButton);
  } else {
    // A book of the fixtures from the browser, by a double click on its item.
    RevealAndClick(Form->BrowserListBox);
    TBrowserList *list = Form->BrowserListBox;
    if (list->isVisible() && list->Count() > 0) {
      const int row = Pick(list->Count());
      const QRect item = list->visualRect(list->Model()->index(row));
      if (item.isValid() && list->viewport()->rect().contains(item.center())) {
        Note("double click the browser's item \"" + list->ItemText(row) + "\"");
        ClickAt(list->viewport(), item.center(), true);
      }
    }
  }
}

// ---- The watcher of dialogs ----

bool TExplorer::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto *widget = static_cast<QWidget *>(watched);
    auto *dialog = qobject_cast<QDialog *>(widget);
    if (dialog && widget->isWindow() && (dialog->isModal() || widget->windowModality() != Qt::NonModal)) {
      QString text;
      if (auto *box = qobject_cast<QMessageBox *>(widget))
        text = box->text();
      Note(QString("  a dialog opens: %1%2").arg(Describe(widget), text.isEmpty() ? "" : " \"" + Shorten(text) + "\""));
      ++Dialogs;
      if (text.startsWith("Text has been edited"))
        ++EditQuestions, ++Questions;
      if (text.startsWith("The book was saved"))
        ++SavedMessages;
      AnswerLater(widget, qobject_cast<QFileDialog *>(widget) || qobject_cast<QMessageBox *>(widget) ? 0 : Pick(4));
    } else if (qobject_cast<QMenu *>(widget) && widget->isWindow()) {
      // Menus may run a loop of their own (context menus do): each is
      // answered like a dialog, after a few moves over it.
      Note("  a menu opens: " + Describe(widget));
      ++Menus;
      AnswerLater(widget, Pick(3));
    }
  }
  return false;
}

void TExplorer::AnswerLater(QWidget *dialog, int steps) {
  QPointer<QWidget> guarded(dialog);
  QTimer::singleShot(0, this, [this, guarded, steps] { Answer(guarded, steps); });
}

void TExplorer::Answer(QPointer<QWidget> dialog, int steps) {
  if (!dialog || !dialog->isVisible())
    return;
  if (steps > 0) {
    // A few events inside the dialog first (never its "Terminate" button).
    QWidget *target = PickVisibleIn(dialog);
    auto *errors = qobject_cast<TErrorForm *>(dialog.data());
    if (!(errors && target == errors->TerminateButton) && !qobject_cast<QFileDialog *>(dialog.data()))
      PointerEvent(target);
    AnswerLater(dialog, steps - 1);
    return;
  }
  if (steps < -5) {
    Note("  the window is closed");
    if (auto *modal = qobject_cast<QDialog *>(dialog.data()))
      modal->reject();
    else
      dialog->close();
    return;
  }
  auto click = [&](QAbstractButton *button) {
    if (!button || !button->isVisible())
      return;
    Note("  answered with " + Describe(button));
    ClickAt(button, button->rect().center());
  };
  if (auto *box = qobject_cast<QMessageBox *>(dialog.data())) {
    if (Chance(0.15)) {
      Note("  answered with Escape");
      QTest::keyClick(box, Qt::Key_Escape);
    } else {
      if (!box->buttons().isEmpty())
        click(PickOf(box->buttons()));
    }
  } else if (auto *errors = qobject_cast<TErrorForm *>(dialog.data())) {
    QList<QAbstractButton *> answers = {errors->OkayButton, errors->CancelButton, errors->LogButton};
    click(PickOf(answers));
  } else if (auto *files = qobject_cast<QFileDialog *>(dialog.data())) {
    AnswerFileDialog(files);
  } else if (auto *menu = qobject_cast<QMenu *>(dialog.data())) {
    QList<QAction *> actions;
    for (QAction *action : menu->actions())
      if (action->isVisible() && action->isEnabled() && !action->isSeparator())
        actions.append(action);
    if (!actions.isEmpty() && Chance(0.6)) {
      QAction *action = PickOf(actions);
      Note("  the menu item \"" + Shorten(action->text(), 40) + "\" is chosen");
      ClickAt(menu, menu->actionGeometry(action).center());
    } else {
      Note("  the menu is closed with Escape");
      QTest::keyClick(menu, Qt::Key_Escape);
    }
  } else if (auto *other = qobject_cast<QDialog *>(dialog.data())) {
    if (Chance(0.5)) {
      Note("  answered with Escape");
      QTest::keyClick(other, Qt::Key_Escape);
    } else {
      Note("  answered with Enter");
      QTest::keyClick(other, Qt::Key_Return);
    }
  }
  if (dialog && dialog->isVisible())
    AnswerLater(dialog, std::min(steps, 0) - 1);
}

void TExplorer::AnswerFileDialog(QDialog *dialog) {
  auto *files = static_cast<QFileDialog *>(dialog);
  if (Chance(0.3)) {
    Note("  the file dialog is cancelled");
    files->reject();
    return;
  }
  const QString path = PickOf(ChoosablePaths);
  Note("  the file dialog is given " + QDir(Root.path()).relativeFilePath(path));
  files->selectFile(path);
  static_cast<QDialog *>(files)->accept();  // the dialog's own check of the name
}

// ---- Invariants ----

void TExplorer::Fail(const QString &what) {
  if (Failure.isEmpty())
    Failure = what;
}

void TExplorer::CheckIniFile(const QString &path, const QStringList &sections) {
  const QByteArray bytes = ReadAll(path);
  const QString name = QDir(Root.path()).relativeFilePath(path);
  if (bytes.isEmpty()) {
    Fail(name + " is empty");
    return;
  }
  const std::string text = SettingsBytesToText(std::string_view(bytes.constData(), bytes.size()));
  TIniDocument document;
  document.Parse(text);
  if (document.Text() != text)
    Fail(name + " is not a whole settings document (it does not read back as written)");
  for (const QString &section : sections)
    if (!document.HasSection(section.toStdString()))
      Fail(name + " has no section " + section);
  // The keys of the main section never go missing.
  QStringList keys;
  for (const auto &section : document.Sections())
    if (SameTextNoCase(section.Name, sections.first().toStdString()))
      for (const auto &entry : section.Entries)
        keys << QString::fromStdString(entry.Key);
  auto first = FirstKeys.find(path);
  if (first == FirstKeys.end()) {
    FirstKeys[path] = keys;
    return;
  }
  for (const QString &key : first->second)
    if (!keys.contains(key, Qt::CaseInsensitive)) {
      Fail(name + " lost the key " + key);
      return;
    }
}

void TExplorer::CheckStoredFiles() {
  auto check = [&](const QString &path, const QStringList &sections) {
    const QFileInfo info(path);
    if (!info.exists())
      return;
    const QString stamp =
        QString("%1/%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    QString &known = FileStamps[path];
    if (known == stamp)
      return;
    known = stamp;
    CheckIniFile(path, sections);
  };
  check(ProgramDir + "/Pagelume.ini", {"Pagelume_Main"});
  for (const QString &dir : {ProgramDir, BooksDir, BooksDir + "/sub", Root.filePath("profiles")})
    for (const QString &name : QDir(dir).entryList({"*.plp"}, QDir::Files))
      check(dir + "/" + name, {"Profile_Main"});
}

void TExplorer::CheckAfter(bool modifiedBefore, qint64 elapsedMs, const QString &event) {
  if (elapsedMs > EventLimitMs())
    Fail(QString("the event took %1 ms: %2").arg(elapsedMs).arg(event));
  const bool closed = Form->Closing && !Form->isVisible();
  const bool modifiedAfter = !closed && Form->BookModified();
  // Undoing every edit makes the text unmodified again, and rightly so.
  const bool undone = !closed && Form->RichEdit->document()->toPlainText() == CleanText;
  if (modifiedBefore && !modifiedAfter && EditQuestions == 0 && SavedMessages == 0 && !undone)
    Fail("the edited text was dropped without the question \"Text has been edited. Save it?\"");
  if (!modifiedAfter && !closed && !Form->RichEdit->isReadOnly())
    CleanText = Form->RichEdit->document()->toPlainText();
  if (closed) {
    Note("the program ended; it is started again");
    ++Restarts;
    DestroyForm();
    CreateForm();
  }
  // The browser stays among the test's own files.
  if (!Form->BrowserPath.startsWith(Root.path())) {
    Note("  (the browser is taken back to the books)");
    Form->LoadBrowserContent(BooksDir + "/");
  }
  CheckStoredFiles();
}

QString TExplorer::Run(int count) {
  for (int i = 0; i < count && Failure.isEmpty(); ++i) {
    ++Done;
    EditQuestions = SavedMessages = 0;
    const bool modifiedBefore = Form->BookModified();
    EditingEvents += Form->RichEdit->isReadOnly() ? 0 : 1;
    ModifiedEvents += modifiedBefore ? 1 : 0;
    const int logged = Log.size();
    QElapsedTimer timer;
    timer.start();
    Watchdog().Begin();
    Step();
    QCoreApplication::processEvents();
    Watchdog().End();
    if (Log.size() == logged)
      Note("(nothing to do)");
    CheckAfter(modifiedBefore, timer.elapsed(), Log.value(logged));
    if (Done % 50 == 0)
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  if (Failure.isEmpty())
    return QString();
  return QString("seed %1, event %2: %3\nreplay: scripts/explore.sh --seed %1 --events %2\nthe last events:\n%4")
      .arg(Seed)
      .arg(Done)
      .arg(Failure, LastEvents().join("\n"));
}
