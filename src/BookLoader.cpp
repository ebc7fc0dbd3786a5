#include "BookLoader.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include "File.h"
#include <QTextBlock>
#include <QTextCursor>
#include <cmath>
#include <utility>

#include "Dialogs.h"
#include "EnhancedRTF.h"
#include "Error.h"
#include "LanguageGuess.h"
#include "MyMath.h"
#include "Program.h"
#include "RTF.h"
#include "Utilities.h"

namespace {

template <class F, class... A> void Call(const F &f, A &&...args) {
  if (f)
    f(std::forward<A>(args)...);
}

template <class R, class F> R Ask(const F &f, R fallback) { return f ? f() : fallback; }

QString Q(const std::string &text) { return QString::fromStdString(text); }

// The text a growing load puts into the box at a time (rich positions): small
// enough to go in well inside a turn of the event loop.
constexpr int32_t PortionCharacters = 128 * 1024;
// The text after the reading position that must have arrived before the page
// is shown: more than any screen holds, so the page is whole and never moves.
constexpr int32_t ScreenAhead = 256 * 1024;

}  // namespace

TBookLoader::TBookLoader(TRichEdit *box, TEnhancedRichEdit *engine, TBookLoaderHost host)
    : Host(std::move(host)), RichBox(box), Enhancer(engine) {
  if (Enhancer)
    Enhancer->Progress = [this](int32_t position) { return ReportProgress(position); };
}

void TBookLoader::FocusBox() {
  if (RichBox && RichBox->isVisible())
    RichBox->setFocus();
}

bool TBookLoader::OpenBook(const QString &path, bool leaveAutoBookmark) {
  if (Busy)
    return false;  // a load runs: refused
  Call(Host.UpdateAutoBookmark, leaveAutoBookmark);
  bool result = LoadFromFile(path, -1, false, 0);
  Call(Host.UpdateAutoBookmark, true);
  return result;
}

void TBookLoader::SetPieces(int32_t count, int32_t selected) {
  State.Pieces.clear();
  QStringList items;
  for (int32_t i = 1; i <= count; ++i) {
    State.Pieces.push_back(std::to_string(i));
    items << QString::number(i);
  }
  State.CurrentPiece = count > 0 ? selected : 0;
  Call(Host.SetPiecesItems, items, State.CurrentPiece - 1);
}

void TBookLoader::UpdatePiecesControls() {
  int32_t count = State.PieceCount();
  Call(Host.SetPiecesLabel, Q(PiecesLabelText(count)));
  bool list = count > 1 && Ask(Host.OpenInPieces, false);
  int32_t index = State.CurrentPiece - 1;
  Call(Host.SetPiecesEnabled, list, list && index != count - 1, list && index != 0, count < 2);
}

void TBookLoader::UpdateCurrentFileInfo(const QString &extra, bool setTitle) {
  Call(Host.SetCurrentFileInfo, Q(CurrentFileInfoText(State.Path, extra.toStdString())));
  if (setTitle)
    Call(Host.SetTitle, QStringLiteral("Pagelume"));
}

bool TBookLoader::ReportProgress(int32_t position) {
  if (State.SecondsSinceProgress() * 1000 < ProgressMilliseconds)
    return State.Closing;
  State.ProgressTimerStart = TBookClock::now();
  QString text = Q(FormatInt(position) + " characters; " +
                   FormatInt(static_cast<int64_t>(State.TotalSeconds())) + " seconds");
  UpdateCurrentFileInfo(text, false);
  Call(Host.SetTitle, text);
  QCoreApplication::processEvents();
  return State.Closing;
}

bool TBookLoader::TextArrived(int32_t position) {
  // The text made so far also goes in before every turn of the event loop: a
  // paint then finds nothing waiting to be put in.
  const bool turn = State.SecondsSinceProgress() * 1000 >= ProgressMilliseconds;
  if (Growing && position > InBoxTo && (turn || position - InBoxTo >= PortionCharacters)) {
    RichBox->Flush();
    InBoxTo = position;
    if (!ShownEarly && position >= ShowFrom && !RichBox->LoadAbandoned()) {
      ShownEarly = true;
      Call(Host.ApplyZoom);
      ShowPage(false, ShowAt);
      State.ProgressTimerStart = {};  // the page is painted at the turn given now
    }
  }
  return ReportProgress(position) || RichBox->LoadAbandoned();
}

void TBookLoader::ShowPage(bool atEnd, int32_t position) {
  PageEverShown = true;
  Call(Host.AttachBackgroundPicture);
  // Shown first: the box then has its final size (and scroll bars), so the
  // text is laid out once, at the width it is read in, as far as the position
  // only.
  RichBox->show();
  // A negative position (a book not on the shelf) leaves the text at its start.
  if (atEnd)
    RichBox->ScrollToEnd();
  else
    RichBox->GoToCharPos(position);
  Call(Host.RepaintWindow);
  FocusBox();
}

void TBookLoader::SetBaseFormat() {
  TBookFormatOptions f = Host.FormatOptions ? Host.FormatOptions() : TBookFormatOptions{};
  Enhancer->SetBaseFormat(false, false, f.LineSpacing, f.SpaceAfter, f.FirstLineIndent, f.Justified ? 3 : 0,
                          f.SecondEmphaColor, f.EmphaColor, f.TextColor, f.CharSpacing, f.FontSize, f.FontName,
                          f.Bold);
  Enhancer->ApplyCharFormat(true, 0);
  Enhancer->ApplyParaFormat(true, 0);
}

void TBookLoader::ShowPlainText(const TTextLines &lines) {
  // Appended in the format the box was just given.
  std::u16string line;
  int32_t position = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    line.assign(lines[i]);
    RichBox->AppendParagraph(line);
    position += int32_t(line.size()) + 2;
    if ((i & 1023) == 1023 && TextArrived(position))
      return;  // a close request: the box is emptied by the caller
  }
}

void TBookLoader::SetLanguage(std::u16string_view head) {
  State.Language = LanguageGuess::Guess(head);
  Call(Host.SetBookLanguage, State.Language);
}

bool TBookLoader::LoadFromFile(const QString &path, int32_t piece, bool keepProfile, int32_t position) {
  if (Busy)
    return false;  // a load runs: refused
  // Set for the whole load; the reading box reports its own long steps.
  struct TBusy {
    TBookLoader &Loader;
    explicit TBusy(TBookLoader &loader) : Loader(loader) {
      Loader.Busy = true;
      Loader.ShownEarly = false;
      if (Loader.RichBox)
        Loader.RichBox->KeepAlive = [&loader](int32_t position) { return !loader.ReportProgress(position); };
    }
    ~TBusy() {
      Loader.Busy = false;
      Loader.Growing = false;
      if (Loader.RichBox)
        Loader.RichBox->KeepAlive = nullptr;
    }
    TBusy(const TBusy &) = delete;
    TBusy &operator=(const TBusy &) = delete;
  } busy(*this);
  Call(Host.LoadStarting);
  State.Shown = false;
  OP_BEGIN("TPagelumeForm::LoadFromFile");
  const bool named = !path.isEmpty();
  const int32_t positionArgument = position;
  bool result = false;
  bool enhancementFailed = false;  // the book is shown as far as the enhancement got
  TTextLines lines;  // one buffer: a book of millions of short lines stays small

  // Steps 1 to 16; false when the book is refused and nothing more happens.
  auto load = [&]() -> bool {
    if (named) {
      Call(Host.AskSaveIfModified);
      State.PieceSizeInUse =
          GetIntFromText(Ask(Host.PieceSizeText, std::string()), MinPieceSize, MaxPieceSize, DefaultPieceSize);
      State.Path = PathBytes(QFileInfo(path).absoluteFilePath());
      UpdateCurrentFileInfo(QString(), false);
      RichBox->Clear();
      Call(Host.StopSound);
      if (Ask(Host.BrowserPathEmpty, false))
        Call(Host.LoadBrowserContent, PathText(State.Path));
    }
    State.Closing = false;
    RichBox->SetReadOnly(true);
    Call(Host.ClearAllowEditing);
    Enhancer->HasManualCommands = false;
    Enhancer->ChaptersMenu.clear();
    Enhancer->ChapterCount = 0;
    Call(Host.RefreshChaptersButton);
    SetPieces(0, 0);
    UpdatePiecesControls();
    RichBox->Clear();

    const std::string &file = State.Path;
    if (!IsValidBookPath(file) || !IsRegularFile(file)) {
      Warning(Q(NotValidBookText));
      FocusBox();
      return false;
    }
    int32_t errorCode = 0;
    int64_t size = FileSizeOf(file, errorCode);
    if (size < 0) {
      OP_RAISE("Failed to get the file size.", file, std::string(), errorCode);
      return true;
    }
    if (size > MaxBookSize) {
      Warning(Q(TooBigBookText(FormatInt(MaxBookSize))));
      FocusBox();
      return false;
    }
    const bool rtf = HasRtfExtension(file);
    const bool inPieces = Ask(Host.OpenInPieces, false);
    if (!inPieces && size > ConfirmWholeBookSize && !rtf &&
        !Query(Q(ConfirmWholeBookText(FormatInt(ConfirmWholeBookSize))))) {
      FocusBox();
      return false;
    }
    State.StartTimers();
    RichBox->hide();
    Call(Host.SetHint, Q(LoadingHintText));
    if (piece < 0 && Host.GetBookmark)
      position = Host.GetBookmark(PathText(file), 0, piece);
    else if (piece < 0)
      position = -1;
    int32_t count = PieceCountFor(size, State.PieceSizeInUse);
    if (size == 0)
      Message(Q(FileEmptyText));
    piece = ClampPiece(piece, count);
    if (inPieces && count > 1 && !rtf)
      SetPieces(count, piece);
    else {
      piece = 1;
      SetPieces(1, 1);
    }
    UpdatePiecesControls();
    if (size == 0)
      return true;

    Call(Host.StopInfoTimer);
    Call(Host.SetOptionsEnabled, false);
    Call(Host.DetachBackgroundPicture);
    if (named)
      Call(Host.ResolveProfile, PathText(file), keepProfile);
    State.StartTimers();
    // A turn at once: the steps above took a while already. Not before the
    // first page since the start: the window's first frame is that page (a
    // frame without it only keeps the display busy while the page is made).
    if (PageEverShown)
      State.ProgressTimerStart = {};
    if (ReportProgress(0))
      return true;

    if (!rtf) {
      if (State.PieceCount() == 1) {
        std::string bytes;
        if (!ReadFileBytes(file, 0, size, bytes, errorCode, [this] { return !ReportProgress(0); })) {
          OP_RAISE(FailedToLoadText, file, std::string(), errorCode);
          return true;
        }
        if (ReportProgress(0))
          return true;
        lines = BookBytesToTextLines(bytes, [this] { return !ReportProgress(0); });
        if (State.Closing)
          return true;
      } else {
        std::vector<std::u16string> piecesLines;
        if (!LoadPieceFromFile(file, piecesLines, piece))
          return true;  // reported there; the box stays empty, as for a whole book that cannot be read
        lines = TTextLines::From(piecesLines);
      }
      SetLanguage(lines.Head(LanguageGuess::GuessChars));
      AddEndMarker(lines, piece, State.PieceCount());
      SetBaseFormat();
      // The page is shown while the rest of the text arrives, once the text
      // holding the reading position has; a book opened at its end is shown
      // when all of it is there.
      Growing = true;
      InBoxTo = 0;
      ShowAt = position;
      ShowFrom = positionArgument < 0
                     ? INT32_MAX
                     : int32_t(std::min<int64_t>(int64_t(std::max(position, 0)) + ScreenAhead, INT32_MAX));
      if (Ask(Host.EnhanceText, true)) {
        // Each paragraph made is reported here: the text goes into the box as it comes.
        auto progress = std::exchange(Enhancer->Progress, [this](int32_t at) { return TextArrived(at); });
        Enhancer->EnhanceText(lines, Ask(Host.ParagraphPrefixText, std::string("None")),
                              Ask(Host.IgnoreEmptyLines, false), Ask(Host.PoorlyWritten, false));
        Enhancer->Progress = std::move(progress);
        // A failing command (a bad colour) ends the enhancement: the
        // paragraphs emitted so far stay, the load counts as done and the
        // failure is shown once below.
        enhancementFailed = OP_ADOPT();
        if (Enhancer->StopRequested)  // a close request empties the box
          return true;
      } else {
        ShowPlainText(lines);
        if (State.Closing) {
          RichBox->Clear();
          return true;
        }
      }
      lines = {};
      // The rest of the text goes into the document now, in slices with the
      // window kept alive, while the options are disabled.
      RichBox->Flush();
      Growing = false;
      if (RichBox->LoadAbandoned()) {  // a close request: the box stays empty
        RichBox->Clear();
        return true;
      }
      Call(Host.ApplyZoom);
    } else {
      RichBox->LoadRtf(DataDir() + ErrorFixFileName);  // resets the formats; may be missing
      FunStatContext.Reset();
      if (RichBox->LoadAbandoned())
        return true;
      const bool loaded = RichBox->LoadRtf(PathText(file));
      if (RichBox->LoadAbandoned())
        return true;
      if (!loaded) {
        if (!OP_ADOPT())
          OP_RAISE(FailedToLoadText, file);
        return true;
      }
      SetLanguage(RichBox->TextHead(LanguageGuess::GuessChars));
    }
    result = true;
    return true;
  };

  bool goOn = true;
  OP_TRY { goOn = load(); }
  OP_CATCH;
  if (!goOn)
    return false;
  if (OP_FAILED() && !enhancementFailed)
    result = false;
  OP_SHOW(FailedToLoadBookText);

  OP_TRY {
    RichBox->Flush();  // the text is in the document before the box shows again
    State.Modified = false;
    RichBox->SetModified(false);
    lines = {};
    if (!ShownEarly) {
      // A negative position argument means the end.
      ShowPage(positionArgument < 0, position);
    } else if (RichBox->TextLength() > 0) {
      // Shown while the text arrived: the page stays where it is; the caret,
      // which the engine left at the start, goes back to its top line.
      RichBox->SetSelection(RichBox->TopPosition(), 0);
    }
    Call(Host.SetHint, QString());
    Call(Host.StartInfoTimer);
    Call(Host.SetOptionsEnabled, true);
    Call(Host.RefreshBookshelfButtons);
    Call(Host.RefreshBookmarkButtons);
    Call(Host.RefreshChaptersButton);
    State.StopTimers();
    UpdateCurrentFileInfo(Q("opened in " + FormatInt(static_cast<int64_t>(State.TotalSeconds())) + " seconds"), true);
    Call(Host.InfoTimerTick);
    if (result && named)
      Call(Host.ApplyFirstSound, Ask(Host.SoundTitleText, QString()));
  }
  OP_CATCH;
  OP_SHOW(FailedToLoadBookText);
  State.Shown = result;
  return result;
}

bool TBookLoader::LoadPieceFromFile(const std::string &path, std::vector<std::u16string> &lines, int32_t piece) {
  OP_BEGIN("TPagelumeForm::LoadPieceFromFile");
  bool result = false;
  lines.clear();
  OP_TRY {
    int32_t errorCode = 0;
    int64_t size = FileSizeOf(path, errorCode);
    std::string bytes, head;
    const int64_t start = PieceStart(piece, State.PieceSizeInUse);
    if (size < 0)
      OP_RAISE(FailedToLoadText, path, std::string(), errorCode);
    else if (size == 0)
      OP_RAISE(EmptyFileText, path);
    else if (!ReadFileBytes(path, start, PieceLength(piece, State.PieceSizeInUse, size), bytes, errorCode) ||
             !ReadFileBytes(path, 0, 2, head, errorCode))  // a UTF-16 mark tells how every piece reads
      OP_RAISE(FailedToLoadText, path, std::string(), errorCode);
    else {
      lines = BookBytesToLines(bytes, true, Utf16MarkOf(head), start);
      result = true;
    }
  }
  OP_CATCH;
  if (OP_FAILED()) {
    lines.clear();
    result = false;
  }
  OP_SHOW(FailedToLoadText);
  return result;
}

void TBookLoader::LoadOnStart() {
  OP_BEGIN("TPagelumeForm::LoadOnStart");
  OP_TRY {
    State.Modified = false;
    bool opened = false;
    QStringList books = Ask(Host.CommandLineBooks, QStringList());
    if (books.size() == 1)
      opened = OpenBook(books.front(), false);
    else if (Ask(Host.AutoLoadLast, false)) {
      QString last = Ask(Host.LastBook, QString());
      if (!last.isEmpty())
        opened = OpenBook(last, false);
    }
    if (!opened) {
      if (!OpenBook(DataDir() + WelcomeFileName, false))
        FocusBox();
      FunStatContext.Reset();
      Call(Host.LoadBrowserContent, BareDrive(PathText(State.Path)));
    }
  }
  OP_CATCH;
}

void TBookLoader::OpenBookButtonClick() {
  if (Busy)
    return;
  OP_BEGIN("TPagelumeForm::OpenBookButtonClick");
  OP_TRY {
    QString start = State.Path.empty() ? QString() : PathText(State.Path);
    QString file = Host.ChooseBookFile
                       ? Host.ChooseBookFile(start)
                       : QFileDialog::getOpenFileName(RichBox ? RichBox->window() : nullptr, QString(), start,
                                                      QStringLiteral("Books (*.txt *.rtf);;All files (*)"));
    if (!file.isEmpty()) {
      OpenBook(file, true);
      OP_ADOPT();
    }
  }
  OP_CATCH;
  OP_SHOW("Failed to open book.");
}

void TBookLoader::OpenWelcomeBook() { OpenBook(DataDir() + WelcomeFileName, true); }

void TBookLoader::PiecesComboBoxChange(const QString &selectedText) {
  LoadFromFile(QString(), GetIntFromText(selectedText.toStdString()), false, 0);
}

void TBookLoader::NextPieceButtonClick() {
  int32_t current = State.CurrentPiece;
  if (current >= 1 && current < State.PieceCount())
    LoadFromFile(QString(), current + 1, false, 0);
  FocusBox();
}

void TBookLoader::PreviousPieceButtonClick() {
  int32_t current = State.CurrentPiece;
  if (current > 1 && current <= State.PieceCount())
    LoadFromFile(QString(), current - 1, false, -1);
  FocusBox();
}
