// Reading the book aloud: from the first sentence that begins on the top
// line, sentence by sentence, with the sentence being said selected and the
// page following it; at the end of a piece the next piece is loaded and the
// reading goes on. The main window owns one TReadAloud and plugs in its
// options and the actions of other units through TReadAloudHost.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ISpeechEngine;
class TRichEdit;

struct TReadAloudHost {
  std::function<QString()> Language;  // the book's language ("en", ...; empty: the service's choice)
  std::function<int()> Rate;          // -10 to 10
  std::function<int()> Volume;        // 0 to 100
  // Loads the next piece of a book in pieces; true when it was loaded.
  std::function<bool()> NextPiece;
  // Reading began or ended (the button's caption, the background sounds).
  std::function<void(bool speaking)> SpeakingChanged;
  // A sentence is about to be said (the auto-bookmark follows it).
  std::function<void(int32_t start)> SentenceStarted;
  // The speech service turned out not to answer (the button says so).
  std::function<void()> VoiceLost;
};

class TReadAloud : public QObject {
  Q_OBJECT
public:
  TReadAloud(TRichEdit *box, TReadAloudHost host, QObject *parent = nullptr);
  ~TReadAloud() override;

  void SetEngine(std::unique_ptr<ISpeechEngine> engine);
  ISpeechEngine *Engine() const { return Voice.get(); }
  bool Available() const;
  bool Speaking() const { return IsSpeaking; }
  // Starts at the first sentence that begins on the top visible line.
  void Start();
  // Stops at once (nothing when not speaking).
  void Stop();
  void Toggle();
  // The sentence being said, or the last one said (start -1: none since the
  // text was shown).
  int32_t SentenceStart() const { return SpokenStart; }
  int32_t SentenceLength() const { return SpokenLength; }
  // The next piece is being loaded by the reading itself.
  bool AdvancingPiece() const { return Advancing; }
  // A new text is shown: no sentence of it has been said.
  void Forget();

  TReadAloudHost Host;

private:
  // Says the first sentence with words to say at or after position; stops at
  // the end of the text and goes on in the next piece at a piece's end.
  void SayFrom(int32_t position);
  // The first sentence at or after position; false at the end of the text.
  bool FindSentence(int32_t position, int32_t &start, int32_t &length, std::u16string &words);
  void Said();
  void Follow();
  void SetSpeaking(bool on);

  TRichEdit *Box;
  std::unique_ptr<ISpeechEngine> Voice;
  bool IsSpeaking = false;
  bool Advancing = false;  // loading the next piece
  int32_t SpokenStart = -1;
  int32_t SpokenLength = 0;
  uint64_t Generation = 0;  // a Finished report of an earlier reading is ignored
};
