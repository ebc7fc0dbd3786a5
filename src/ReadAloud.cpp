#include "ReadAloud.h"

#include "RTF.h"
#include "SentenceSplitter.h"
#include "SpeechEngine.h"

#include <QTimer>
#include <algorithm>

namespace {

// Text read from the box at a time: well over the longest sentence.
constexpr int32_t Window = 4 * MaxSentenceLength;
const std::u16string_view EndMarkerStart = u"***** End of ";

}  // namespace

TReadAloud::TReadAloud(TRichEdit *box, TReadAloudHost host, QObject *parent)
    : QObject(parent), Host(std::move(host)), Box(box) {}

TReadAloud::~TReadAloud() {
  if (Voice) {
    Voice->Finished = nullptr;
    Voice->Lost = nullptr;
    if (IsSpeaking)
      Voice->Stop();
  }
}

void TReadAloud::SetEngine(std::unique_ptr<ISpeechEngine> engine) {
  Stop();
  Voice = std::move(engine);
  if (!Voice)
    return;
  Voice->Lost = [this] {
    Stop();
    if (Host.VoiceLost)
      Host.VoiceLost();
  };
  Voice->Finished = [this] {
    // The service may report from inside its own call: the next sentence
    // is said once control is back in the event loop.
    const uint64_t now = Generation;
    QTimer::singleShot(0, this, [this, now] {
      if (IsSpeaking && now == Generation)
        Said();
    });
  };
}

bool TReadAloud::Available() const { return Voice && Voice->Available(); }

void TReadAloud::Start() {
  if (IsSpeaking || !Available() || !Box || Box->isHidden() || !Box->ReadOnly() || Box->TextLength() == 0)
    return;
  // The first sentence that begins on the top line: the text before the line
  // tells whether the line starts inside a sentence.
  const int32_t top = Box->TopPosition();
  const int32_t from = std::max(top - MaxSentenceLength, 0);
  const std::u16string text = Box->TextRange(from, top - from + Window);
  int32_t position = top;
  for (const TSentence &sentence : SplitSentences(text)) {
    if (from + sentence.Start >= top) {
      position = from + sentence.Start;
      break;
    }
  }
  SetSpeaking(true);
  SayFrom(position);
}

void TReadAloud::Stop() {
  if (!IsSpeaking)
    return;
  ++Generation;
  if (Voice)
    Voice->Stop();
  SetSpeaking(false);
}

void TReadAloud::Toggle() {
  if (IsSpeaking)
    Stop();
  else
    Start();
}

void TReadAloud::Forget() {
  SpokenStart = -1;
  SpokenLength = 0;
}

bool TReadAloud::FindSentence(int32_t position, int32_t &start, int32_t &length, std::u16string &words) {
  const int32_t total = Box->TextLength();
  while (position < total) {
    const std::u16string text = Box->TextRange(position, Window);
    if (text.empty())
      return false;
    const bool reachesEnd = position + int32_t(text.size()) >= total;
    int32_t next = position + int32_t(text.size());  // past what was read
    for (const TSentence &sentence : SplitSentences(text)) {
      if (!sentence.Ended && !reachesEnd && sentence.Start > 0) {
        next = position + sentence.Start;  // cut by the window: read again from its start
        break;
      }
      const std::u16string_view raw = std::u16string_view(text).substr(size_t(sentence.Start), size_t(sentence.Length));
      start = position + sentence.Start;
      length = sentence.Length;
      if (raw.substr(0, EndMarkerStart.size()) == EndMarkerStart) {
        words.clear();
        return true;
      }
      words = SpokenText(raw);
      if (!words.empty())
        return true;
      next = start + length;
    }
    if (next <= position)
      return false;
    position = next;
  }
  return false;
}

void TReadAloud::SayFrom(int32_t position) {
  int32_t start = 0, length = 0;
  std::u16string words;
  if (!FindSentence(position, start, length, words)) {
    Stop();  // the end of the book
    return;
  }
  if (words.empty()) {
    // The end marker of a piece: the reading goes on in the next piece.
    Advancing = true;
    const bool loaded = Host.NextPiece && Host.NextPiece();
    Advancing = false;
    if (!loaded || !IsSpeaking) {
      Stop();
      return;
    }
    Forget();
    SayFrom(0);
    return;
  }
  SpokenStart = start;
  SpokenLength = length;
  Follow();
  if (Host.SentenceStarted)
    Host.SentenceStarted(start);
  Voice->SetRate(Host.Rate ? Host.Rate() : 0);
  Voice->SetVolume(Host.Volume ? Host.Volume() : 80);
  Voice->Say(QString::fromStdU16String(words), Host.Language ? Host.Language() : QString());
}

void TReadAloud::Said() { SayFrom(SpokenStart + SpokenLength); }

// The sentence is selected and brought on the screen: a sentence below the
// screen (or above it) goes to the top line; one that runs off the bottom
// scrolls up a line at a time while its start stays on the screen.
void TReadAloud::Follow() {
  const int32_t end = SpokenStart + SpokenLength;
  if (!Box->PositionShown(SpokenStart)) {
    Box->GoToCharPos(SpokenStart);
  } else {
    for (int guard = 0; guard < 1000 && !Box->PositionShown(end); ++guard) {
      int32_t lineStart = 0, lineEnd = 0;
      Box->LineRangeOf(Box->TopPosition(), lineStart, lineEnd);
      if (SpokenStart < lineEnd)
        break;  // the start is on the top line already
      const int32_t top = Box->TopPosition();
      Box->ScrollLines(1);
      if (Box->TopPosition() == top)
        break;  // the end of the text is on the screen
    }
  }
  Box->SetSelection(SpokenStart, SpokenLength);
}

void TReadAloud::SetSpeaking(bool on) {
  if (IsSpeaking == on)
    return;
  IsSpeaking = on;
  if (Host.SpeakingChanged)
    Host.SpeakingChanged(on);
}
