// Opening books into the reading box: whole or in pieces, the pieces controls,
// the book information label, the progress of a long load and the start-up
// choice of book. The main window owns one TBookLoader and plugs in what lies
// outside it (options, labels, timers, bookshelf, profiles, browser, sounds)
// through TBookLoaderHost; an empty call-out does nothing, so the loader works
// before those parts exist, and the order of its steps stays as it is.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "BookText.h"

class TRichEdit;
class TEnhancedRichEdit;

// The profile's format options as the engine's base format takes them
// (already converted from their controls).
struct TBookFormatOptions {
  int32_t LineSpacing = 120;      // percent
  int32_t SpaceAfter = 5;         // millimetres
  int32_t FirstLineIndent = 10;   // millimetres
  bool Justified = false;
  uint32_t SecondEmphaColor = 0;  // 0x00BBGGRR
  uint32_t EmphaColor = 0;
  uint32_t TextColor = 0;
  int32_t CharSpacing = 0;        // tenths of a millimetre
  int32_t FontSize = 16;          // points
  std::string FontName = "Times New Roman";
  bool Bold = false;
};

struct TBookLoaderHost {
  // ---- Options, read when they are needed ----
  std::function<bool()> OpenInPieces;
  std::function<std::string()> PieceSizeText;        // the "Piece size" control
  std::function<bool()> EnhanceText;
  std::function<std::string()> ParagraphPrefixText;  // the "Paragraph prefix" control
  std::function<bool()> IgnoreEmptyLines;
  std::function<bool()> PoorlyWritten;
  std::function<TBookFormatOptions()> FormatOptions;
  std::function<bool()> AutoLoadLast;
  std::function<QStringList()> CommandLineBooks;     // the arguments after the program name
  std::function<QString()> SoundTitleText;

  // ---- Labels and controls ----
  std::function<void(const QString &)> SetCurrentFileInfo;
  std::function<void(const QString &)> SetTitle;           // the application title
  std::function<void(const QString &)> SetHint;            // HintLabel, repainted at once
  std::function<void(const QString &)> SetPiecesLabel;
  std::function<void(const QStringList &items, int selectedIndex)> SetPiecesItems;
  std::function<void(bool list, bool next, bool previous, bool allowEditing)> SetPiecesEnabled;
  std::function<void()> ClearAllowEditing;                 // the "Allow editing" box
  std::function<void(bool)> SetOptionsEnabled;             // the option pages and the "About" button
  std::function<void()> RepaintWindow;
  std::function<QString(const QString &startPath)> ChooseBookFile;  // the open dialog; empty = cancelled

  // ---- Call-outs to other parts of the window, in the order a load makes them ----
  std::function<void()> LoadStarting;                      // every load, before anything else
  std::function<void()> AskSaveIfModified;
  std::function<void()> StopSound;
  std::function<bool()> BrowserPathEmpty;
  std::function<void(const QString &)> LoadBrowserContent;
  std::function<void()> RefreshChaptersButton;
  std::function<void()> StopInfoTimer;
  std::function<void()> StartInfoTimer;
  std::function<void()> DetachBackgroundPicture;
  std::function<void()> AttachBackgroundPicture;
  std::function<int32_t(const QString &path, int32_t slot, int32_t &piece)> GetBookmark;  // −1: not on the shelf
  std::function<void(const QString &path, bool keepProfile)> ResolveProfile;
  std::function<void()> ApplyZoom;
  std::function<void(const std::string &tag)> SetBookLanguage;  // guessed at each load
  std::function<void()> RefreshBookshelfButtons;
  std::function<void()> RefreshBookmarkButtons;
  std::function<void()> InfoTimerTick;
  std::function<void(const QString &soundTitle)> ApplyFirstSound;
  std::function<void(bool enabled)> UpdateAutoBookmark;
  std::function<QString()> LastBook;
};

class TBookLoader {
public:
  TBookLoader(TRichEdit *box, TEnhancedRichEdit *engine, TBookLoaderHost host = {});

  BookState State;
  TBookLoaderHost Host;

  TRichEdit *Box() const { return RichBox; }
  TEnhancedRichEdit *Engine() const { return Enhancer; }

  // Opens a book by name: the auto-bookmark of the book left, the load, the
  // auto-bookmark of the new one. True when a non-empty book is shown.
  bool OpenBook(const QString &path, bool leaveAutoBookmark);
  // path empty: another piece of the open book. piece < 0: where the reader
  // left the book. position < 0: scroll to the end.
  bool LoadFromFile(const QString &path, int32_t piece, bool keepProfile, int32_t position);
  // Reads one piece into lines; shows its own failure ("Failed to load.").
  bool LoadPieceFromFile(const std::string &path, std::vector<std::u16string> &lines, int32_t piece);
  void UpdatePiecesControls();
  void UpdateCurrentFileInfo(const QString &extra, bool setTitle);
  // The progress callback of the engine and of the reading box during a load:
  // acts at most every ProgressMilliseconds (shows the progress, lets the
  // window handle its events) and returns Closing.
  bool ReportProgress(int32_t position);
  int ProgressMilliseconds = 50;
  // True while a load runs: nothing may start another one or change the
  // format under it (every entry point asks this first).
  bool Loading() const { return Busy; }
  void LoadOnStart();

  // Event handlers.
  void OpenBookButtonClick();
  void OpenWelcomeBook();
  void PiecesComboBoxChange(const QString &selectedText);
  void NextPieceButtonClick();
  void PreviousPieceButtonClick();
  void OpenInPiecesCheckBoxClick() { UpdatePiecesControls(); }

  // How long the last load took (seconds, including enhancement).
  double LastLoadSeconds() const { return State.TotalSeconds(); }

private:
  TRichEdit *RichBox;
  TEnhancedRichEdit *Enhancer;
  bool Busy = false;

  void FocusBox();
  void SetPieces(int32_t count, int32_t selected);
  void ShowPlainText(const TTextLines &lines);
  void SetBaseFormat();
  // Guesses the book's language from the opening of its text and passes it on.
  void SetLanguage(std::u16string_view head);

  // A plain-text book goes into the box a portion at a time while its
  // paragraphs are made, and the box is shown at the reading position as soon
  // as the text holding it (and a screen after it) has arrived; the rest
  // follows while the load still runs, with its rules (TextArrived).
  bool Growing = false;      // the text is put into the box a portion at a time
  bool ShownEarly = false;   // the page is shown; the rest of the text still arrives
  bool PageEverShown = false;  // a page was shown since the program started
  int32_t InBoxTo = 0;       // rich position up to which the text is in the box
  int32_t ShowFrom = 0;      // the page is shown once the text reaches this position
  int32_t ShowAt = -1;       // where the page is shown (< 0: the start)
  // Called with the rich position of each new paragraph: puts a portion into
  // the box when one is complete, shows the page when its text is there, and
  // reports progress. True when the load is to stop.
  bool TextArrived(int32_t position);
  // Shows the box at a position (atEnd: at the end of the text).
  void ShowPage(bool atEnd, int32_t position);
};
