// Sentence splitting on real book openings (paragraphs joined as the reading
// box shows them) and on the edges of its rules; the words handed to the voice.
#include "SentenceSplitter.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

// A fixture book with its hard-wrapped lines joined into paragraphs, each
// paragraph ended by CR LF as in the reading box.
std::u16string BookText(const char *name) {
  QFile file(QString(PAGELUME_TEST_DATA) + "/books/" + name);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  QString text = QString::fromUtf8(file.readAll());
  text.remove(QChar(0xFEFF)).remove('\r');
  QStringList paragraphs;
  for (const QString &paragraph : text.split(QRegularExpression("\n\\s*\n")))
    paragraphs << paragraph.simplified();
  return paragraphs.join("\r\n").toStdU16String();
}

QStringList Sentences(const std::u16string &text) {
  QStringList out;
  for (const TSentence &s : SplitSentences(text))
    out << QString::fromStdU16String(text.substr(size_t(s.Start), size_t(s.Length)));
  return out;
}

QStringList Sentences(const char16_t *text) { return Sentences(std::u16string(text)); }

}  // namespace

TEST(SentenceSplitter, DialogueAndTitlesInPrideAndPrejudice) {
  const QStringList sentences = Sentences(BookText("pride-head.txt"));
  for (const char *expected :
       {"It is a truth universally acknowledged, that a single man in possession of a good fortune, must be in "
        "want of a wife.",
        "“My dear Mr. Bennet,” said his lady to him one day, “have you heard that Netherfield Park is let at last?”",
        "Mr. Bennet replied that he had not.",
        "“But it is,” returned she; “for Mrs. Long has just been here, and she told me all about it.”",
        "“Do you not want to know who has taken it?” cried his wife impatiently."})
    EXPECT_TRUE(sentences.contains(QString::fromUtf8(expected))) << expected;
}

TEST(SentenceSplitter, BookOpeningsSplitWholeAndInOrder) {
  const QRegularExpression title("\\b(Mr|Mrs|Dr|St)\\.$");
  for (const char *book : {"war-and-peace-head.txt", "pride-head.txt", "alice-head.txt", "tour-du-monde-head.txt"}) {
    const std::u16string text = BookText(book);
    const std::vector<TSentence> sentences = SplitSentences(text);
    ASSERT_GT(sentences.size(), 50u) << book;
    int32_t after = 0;
    for (const TSentence &s : sentences) {
      ASSERT_GE(s.Start, after) << book;
      ASSERT_LE(s.Length, MaxSentenceLength) << book;
      // Between two sentences lie only blanks and paragraph ends.
      for (int32_t i = after; i < s.Start; ++i)
        ASSERT_TRUE(QChar(text[size_t(i)]).isSpace()) << book << " at " << i;
      const QString sentence = QString::fromStdU16String(text.substr(size_t(s.Start), size_t(s.Length)));
      EXPECT_FALSE(sentence.contains(title)) << book << ": " << sentence.toStdString();
      EXPECT_FALSE(sentence.front().isSpace() || sentence.back().isSpace()) << sentence.toStdString();
      after = s.Start + s.Length;
    }
  }
  // "St. Petersburg" and "Anna Pávlovna Schérer" stay inside their sentences.
  const QStringList war = Sentences(BookText("war-and-peace-head.txt"));
  const auto holding = [&](const QString &words) {
    return std::count_if(war.begin(), war.end(), [&](const QString &s) { return s.contains(words); });
  };
  EXPECT_EQ(holding("a new word in St. Petersburg, used only by the elite."), 1);
  EXPECT_TRUE(war.contains(QString::fromUtf8("“Heavens! what a virulent attack!” replied the prince, not in the "
                                             "least disconcerted by this reception.")));
}

TEST(SentenceSplitter, EdgesOfTheRules) {
  EXPECT_EQ(Sentences(u"Wait... Then go. J. R. Smith came. He paid 3.14 dollars, etc. and left!"),
            (QStringList{"Wait...", "Then go.", "J. R. Smith came.", "He paid 3.14 dollars, etc. and left!"}));
  EXPECT_EQ(Sentences(u"What?! No\u2026 \u00ABOui.\u00BB Fine.\r\nA heading\r\n\r\nNext (really.) Yes."),
            (QStringList{"What?!", "No\u2026", "\u00ABOui.\u00BB", "Fine.", "A heading", "Next (really.)", "Yes."}));
  // The last sentence of a text that stops in the middle of it is not ended.
  std::vector<TSentence> cut = SplitSentences(u"One. Two thr");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_TRUE(cut[0].Ended);
  EXPECT_FALSE(cut[1].Ended);
  // A very long sentence is cut after a comma before the limit.
  std::u16string longText;
  while (longText.size() < 1500)
    longText += u"word word word, ";
  const std::vector<TSentence> parts = SplitSentences(longText);
  ASSERT_GE(parts.size(), 3u);
  for (const TSentence &part : parts) {
    EXPECT_LE(part.Length, MaxSentenceLength);
    if (part.Ended) {
      EXPECT_EQ(longText[size_t(part.Start + part.Length - 1)], u',');
    }
  }
}

TEST(SentenceSplitter, SpokenTextLeavesMarkupOut) {
  EXPECT_EQ(SpokenText(u"^PS_H*"), u"");
  EXPECT_EQ(SpokenText(u"  ^FC=Red+ Chapter"), u"");
  EXPECT_EQ(SpokenText(u"***** End of Book *****"), u"End of Book");
  EXPECT_EQ(SpokenText(u"\u00B7 A _very_ *bold*\tclaim."), u"A very bold claim.");
  EXPECT_EQ(SpokenText(u"- Yes, - he said."), u"Yes, - he said.");
  EXPECT_EQ(SpokenText(u"* * * * *"), u"");
  EXPECT_EQ(SpokenText(u"CHAPTER I"), u"CHAPTER I");
}
