// The reading box's files (see RTF.h): plain text and RTF read into a new
// document and written from the document.
#include "RTF.h"

#include "File.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileDevice>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ostream>
#include <streambuf>
#include <unordered_map>

#include "DeviceStream.h"
#include "Error.h"
#include "File.h"
#include "RtfReader.h"
#include "RtfWriter.h"
#include "RichDocument.h"
#include "RichMerged.h"

using namespace RichDocument;

namespace {

// The reason of a failed write, kept before the save abandons the file.
bool WriteFailed(QIODevice &device, QString &reason) {
  reason = device.errorString();
  return false;
}

// Pushes buffered data to the file, so that a full disk shows here.
bool Flushed(QIODevice &device, QString &reason) {
  auto *file = qobject_cast<QFileDevice *>(&device);
  return !file || file->flush() || WriteFailed(device, reason);
}


}  // namespace

// ---------------------------------------------------------------- streaming

bool TRichEdit::LoadText(const QString &path) {
  OP_BEGIN("TRichEdit::LoadText");
  bool result = false;
  OP_TRY {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      OP_RAISE("Failed to load text.", path.toStdString(), file.errorString().toStdString());
      return result;
    }
    QByteArray data = file.readAll();
    file.close();
    QString text;
    if (data.startsWith("\xEF\xBB\xBF")) {
      text = QString::fromUtf8(data.constData() + 3, data.size() - 3);
    } else {
      QStringDecoder utf8(QStringDecoder::Utf8);
      text = utf8.decode(data);
      if (utf8.hasError()) {
        text.resize(data.size());
        QChar *out = text.data();
        for (qsizetype i = 0; i < data.size(); ++i)
          out[i] = QChar(Cp1252ToUnicode(uint8_t(data[i])));
      }
    }
    data = QByteArray();
    BlankDocumentBreaks(text, false);
    Clear();
    if (PlainOnly) {
      NormaliseBreaks(text);
      PlainText.swap(text);
      return true;
    }
    {
      QTextDocument *doc = BeginNewDocument(false);
      QTextCursor c(doc);
      if (InsertSliced(c, text, AppendFormat))
        MarkLinks(0, doc->blockCount() - 1);
    }
    if (Abandoned) {
      AbandonBuild();
      return result;
    }
    InstallDocument(false);
    SetCaretKeepingView(0);
    SetTop(0);
    result = true;
  }
  OP_CATCH;
  return result;
}

bool TRichEdit::SaveText(const QString &path) {
  OP_BEGIN("TRichEdit::SaveText");
  bool result = false;
  OP_TRY {
    Flush();
    // Written beside the target and renamed over it when complete: a failed
    // write leaves the old file as it was.
    QString reason, writeError;
    bool ok = SaveFileSafely(
        path,
        [&](QIODevice &file) {
          QByteArray chunk;
          if (PlainOnly) {  // paragraph ends and line breaks become "\n"
            QString piece;
            for (qsizetype from = 0; from < PlainText.size();) {
              qsizetype to = std::min<qsizetype>(from + (1 << 16), PlainText.size());
              if (to < PlainText.size() && PlainText.at(to - 1).isHighSurrogate())
                ++to;
              piece = PlainText.mid(from, to - from);
              for (QChar &ch : piece)
                if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
                  ch = QLatin1Char('\n');
              chunk = piece.toUtf8();
              if (!WriteAll(file, chunk.constData(), chunk.size()))
                return WriteFailed(file, writeError);
              from = to;
            }
            return Flushed(file, writeError);
          }
          for (QTextBlock b = Doc()->begin(); b.isValid(); b = b.next()) {
            QString t = b.text();
            t.replace(QChar::LineSeparator, QLatin1Char('\n'));
            chunk += t.toUtf8();
            if (b.next().isValid())
              chunk += '\n';
            if (chunk.size() > (1 << 16)) {
              if (!WriteAll(file, chunk.constData(), chunk.size()))
                return WriteFailed(file, writeError);
              chunk.clear();
            }
          }
          if (!WriteAll(file, chunk.constData(), chunk.size()))
            return WriteFailed(file, writeError);
          return Flushed(file, writeError);
        },
        &reason);
    if (!ok) {
      if (!writeError.isEmpty())
        reason = writeError;
      OP_RAISE("Failed to save text.", path.toStdString(), reason.toStdString());
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

namespace {

// Puts what the reader reads into the document through one cursor. A
// paragraph's runs are gathered first and go in as one insertion, their
// formats set on ranges afterwards, all inside one edit block: inserted run by
// run, each insertion had the whole paragraph analysed again. Once the
// document holds many blocks, paragraphs of one format are gathered into
// merged blocks (RichMerged.h) and go in a block at a time.
class TDocumentSink : public IRtfSink {
public:
  // goOn (given the position reached) is asked at every paragraph end; once
  // it answers false, nothing more goes into the document.
  TDocumentSink(const TRichEdit &box, QTextDocument *doc, std::function<bool(int32_t)> goOn = {})
      : Box(box), Cursor(doc), GoOn(std::move(goOn)) {
    Cursor.movePosition(QTextCursor::End);
    Blocks = Cursor.blockNumber();
    Cursor.beginEditBlock();
  }
  ~TDocumentSink() override { Cursor.endEditBlock(); }
  // The merged blocks gathered are put in (before the last paragraph).
  void Finish() { PutMerged(); }
  void RtfText(const std::u16string &text, const TCharFormat &format) override {
    if (Stopped)
      return;
    if (!HasChar || !(format == LastChar)) {
      LastChar = format;
      LastQtChar = Box.ToQtCharFormat(format);
      HasChar = true;
      NewRun = true;
    }
    if (text.empty())
      return;
    if (NewRun || Runs.empty())
      Runs.push_back({int(Text.size()), 0, LastQtChar});
    NewRun = false;
    const qsizetype start = Text.size();
    Text += ToQString(text);
    for (qsizetype i = start; i < Text.size(); ++i) {
      const QChar ch = Text.at(i);
      if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QChar::ParagraphSeparator)
        Text[i] = QChar::LineSeparator;
      else if (ch.unicode() == 0xFDD0 || ch.unicode() == 0xFDD1)
        Text[i] = QLatin1Char(' ');  // the document's own markers: shown as a blank
    }
    Runs.back().Length += int(Text.size() - start);
  }
  void RtfParagraphEnd(const TParaFormat &format) override {
    if (Stopped)
      return;
    if (Blocks >= RichMerged::MergeAfterBlocks() && Merge(format)) {
      if (GoOn && !GoOn(Cursor.position() + Blocks + int(Block.size())))
        Stopped = true;
      return;
    }
    PutParagraph();
    SetBlock(format);
    Cursor.insertBlock();
    ++Blocks;
    if (GoOn && !GoOn(Cursor.position() + Blocks))
      Stopped = true;
  }
  void RtfDocumentEnd(const TParaFormat &format) override {
    if (Stopped)
      return;
    PutMerged();
    PutParagraph();
    SetBlock(format);
  }
  QTextCursor &CursorRef() { return Cursor; }

private:
  struct TRun {
    int Start, Length;
    QTextCharFormat Format;
  };
  void PutParagraph() {
    if (Runs.empty())
      return;
    const int start = Cursor.position();
    Cursor.insertText(Text, Runs.front().Format);
    if (Runs.size() > 1) {
      QTextCursor range(Cursor);
      for (size_t i = 1; i < Runs.size(); ++i) {
        range.setPosition(start + Runs[i].Start);
        range.setPosition(start + Runs[i].Start + Runs[i].Length, QTextCursor::KeepAnchor);
        range.setCharFormat(Runs[i].Format);
      }
    }
    Text.clear();
    Runs.clear();
  }
  // Gathers the paragraph just ended into the merged block, or puts the block
  // in and starts another with it; false for a paragraph that stands alone (a
  // line break of its own, or long).
  bool Merge(const TParaFormat &format) {
    if (Text.size() > 2048 || Text.contains(QChar::LineSeparator)) {
      PutMerged();
      return false;
    }
    if (!Block.isEmpty() || !BlockRuns.empty() || HasBlock) {
      if (format == BlockPara && Block.size() + Text.size() + 1 < RichMerged::MergedBlockChars) {
        // The end before the paragraph is a merged end, in the format of the text before it.
        if (BlockRuns.empty())
          BlockRuns.push_back({0, 0, HasChar ? LastQtChar : Cursor.charFormat()});
        Block += QChar::LineSeparator;
        BlockRuns.back().Length += 1;
        AddToBlock();
        return true;
      }
      PutMerged();
    }
    BlockPara = format;
    HasBlock = true;
    AddToBlock();
    return true;
  }
  void AddToBlock() {
    const int base = int(Block.size());
    for (const TRun &r : Runs) {
      if (!BlockRuns.empty() && BlockRuns.back().Format == r.Format)
        BlockRuns.back().Length += r.Length;
      else
        BlockRuns.push_back({base + r.Start, r.Length, r.Format});
    }
    Block += Text;
    Text.clear();
    Runs.clear();
    NewRun = true;
  }
  void PutMerged() {
    if (!HasBlock)
      return;
    const int start = Cursor.position();
    if (!BlockRuns.empty())
      Cursor.insertText(Block, BlockRuns.front().Format);
    QTextCursor range(Cursor);
    for (size_t i = 1; i < BlockRuns.size(); ++i) {
      range.setPosition(start + BlockRuns[i].Start);
      range.setPosition(start + BlockRuns[i].Start + BlockRuns[i].Length, QTextCursor::KeepAnchor);
      range.setCharFormat(BlockRuns[i].Format);
    }
    SetBlock(BlockPara);
    QTextBlockFormat flag;
    flag.setProperty(RichMerged::PropMerged, true);
    Cursor.mergeBlockFormat(flag);
    RichMerged::SetHoldsMerged(Cursor.document());
    Cursor.insertBlock();
    ++Blocks;
    Block.clear();
    BlockRuns.clear();
    HasBlock = false;
  }
  void SetBlock(const TParaFormat &format) {
    if (!HasPara || !(format == LastPara)) {
      LastPara = format;
      LastQtPara = Box.ToQtBlockFormat(format);
      HasPara = true;
    }
    Cursor.setBlockFormat(LastQtPara);
  }
  const TRichEdit &Box;
  QTextCursor Cursor;
  std::function<bool(int32_t)> GoOn;
  bool Stopped = false;
  int Blocks = 0;            // the cursor's block number, kept here: the document's look-up is slow
  QString Text;              // the paragraph being gathered
  std::vector<TRun> Runs;    // its runs, in order
  TCharFormat LastChar;
  QTextCharFormat LastQtChar;
  bool HasChar = false, NewRun = true;
  TParaFormat LastPara;
  QTextBlockFormat LastQtPara;
  bool HasPara = false;
  QString Block;               // the merged block being gathered
  std::vector<TRun> BlockRuns;
  TParaFormat BlockPara;
  bool HasBlock = false;
};

// What the reader reads as the text alone, the way TDocumentSink would put it
// into a document.
class TTextSink : public IRtfSink {
public:
  explicit TTextSink(QString &out) : Out(out) {}
  void RtfText(const std::u16string &text, const TCharFormat &) override {
    const qsizetype start = Out.size();
    Out.append(QStringView(text.data(), qsizetype(text.size())));
    for (qsizetype i = start; i < Out.size(); ++i) {
      const char16_t u = Out.at(i).unicode();
      if (u == u'\n' || u == u'\r' || u == 0x2029)
        Out[i] = QChar::LineSeparator;
      else if (u == 0xFDD0 || u == 0xFDD1)
        Out[i] = QLatin1Char(' ');
    }
  }
  void RtfParagraphEnd(const TParaFormat &) override { Out.append(QChar::ParagraphSeparator); }
  void RtfDocumentEnd(const TParaFormat &) override {}

private:
  QString &Out;
};

}  // namespace

bool TRichEdit::LoadRtf(const QString &path) {
  OP_BEGIN("TRichEdit::LoadRtf");
  bool result = false;
  OP_TRY {
    Clear();
    std::string error;
    bool ok;
    if (PlainOnly) {
      TTextSink sink(PlainText);
      TRtfReader reader(sink);
      ok = reader.ReadFile(PathBytes(path));
      error = reader.Error();
      if (!ok) {
        Clear();
        OP_RAISE("Failed to load RTF.", path.toStdString(), error);
        return result;
      }
      return true;
    }
    {
      QTextDocument *doc = BeginNewDocument(false);
      TDocumentSink sink(*this, doc, [this](int32_t position) { return Breathe(position); });
      TRtfReader reader(sink);
      ok = reader.ReadFile(PathBytes(path));
      error = reader.Error();
      sink.Finish();
      Merged.Invalidate();
      if (ok && !Abandoned)
        MarkLinks(0, doc->blockCount() - 1);
    }
    if (Abandoned) {
      AbandonBuild();
      return result;
    }
    InstallDocument(false);
    if (!ok) {
      Clear();
      OP_RAISE("Failed to load RTF.", path.toStdString(), error);
      return result;
    }
    SetCaretKeepingView(0);
    SetTop(0);
    result = true;
  }
  OP_CATCH;
  return result;
}

bool TRichEdit::SaveRtf(const QString &path) {
  OP_BEGIN("TRichEdit::SaveRtf");
  bool result = false;
  OP_TRY {
    Flush();
    FinishDeferred();
    QTextDocument *doc = Doc();
    std::unordered_map<int, TCharFormat> charCache;
    auto WrittenFormat = [&](const QTextFragment &fr) -> const TCharFormat & {
      auto found = charCache.find(fr.charFormatIndex());
      if (found == charCache.end()) {
        TCharFormat f = FromQtCharFormat(fr.charFormat());
        f.Effects &= ~CFE_LINK;
        f.Mask &= ~CFM_LINK;
        found = charCache.emplace(fr.charFormatIndex(), f).first;
      }
      return found->second;
    };
    std::unordered_map<int, TParaFormat> paraCache;  // a book has few paragraph formats, used again and again
    const bool mergedDoc = RichMerged::HoldsMerged(doc);
    auto walk = [&](TRtfWriter &w) {
      for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        auto para = paraCache.find(b.blockFormatIndex());
        if (para == paraCache.end())
          para = paraCache.emplace(b.blockFormatIndex(), FromQtBlockFormat(b.blockFormat())).first;
        w.BeginParagraph(para->second);
        if (mergedDoc && RichMerged::IsMerged(b)) {  // its line separators end paragraphs
          for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment fr = it.fragment();
            const TCharFormat &f = WrittenFormat(fr);
            const QString t = fr.text();
            const char16_t *p = reinterpret_cast<const char16_t *>(t.utf16());
            qsizetype from = 0;
            for (qsizetype i = 0; i <= t.size(); ++i) {
              if (i < t.size() && p[i] != 0x2028)
                continue;
              if (i > from)
                w.Text(p + from, size_t(i - from), f);
              if (i < t.size())
                w.EndParagraph();  // the next paragraph keeps this format: no \pard again
              from = i + 1;
            }
          }
          if (b.next().isValid())
            w.EndParagraph();
          continue;
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
          QTextFragment fr = it.fragment();
          QString t = fr.text();
          w.Text(reinterpret_cast<const char16_t *>(t.utf16()), size_t(t.size()), WrittenFormat(fr));
        }
        if (b.next().isValid())
          w.EndParagraph();
      }
    };
    TRtfWriter writer;
    QString reason, writeError;
    bool ok = SaveFileSafely(
        path,
        [&](QIODevice &file) {
          TDeviceStreamBuffer buffer(file);
          std::ostream out(&buffer);
          if (!writer.Write(out, walk) || !out.flush())
            return WriteFailed(file, writeError);
          return Flushed(file, writeError);
        },
        &reason);
    if (!ok) {
      if (!writeError.isEmpty())
        reason = writeError;
      OP_RAISE("Failed to save RTF.", path.toStdString(), reason.toStdString());
      return result;
    }
    result = true;
  }
  OP_CATCH;
  return result;
}

