#include "SoundOutput.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace {

QUrl SourceOf(const std::string &path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

// Deleted later: the effect may still be busy in its loading thread.
void Discard(std::unique_ptr<QSoundEffect> &effect) {
  if (!effect)
    return;
  effect->stop();
  effect.release()->deleteLater();
}

}  // namespace

TSoundOutput::TSoundOutput() = default;

TSoundOutput::~TSoundOutput() {
  StopWave();
  Discard(Prepared);
}

void TSoundOutput::PrepareWave(const std::string &path) {
  const QUrl source = SourceOf(path);
  if (Prepared && Prepared->source() == source)
    return;
  Discard(Prepared);
  if (!QFileInfo(source.toLocalFile()).isFile())
    return;
  Prepared = std::make_unique<QSoundEffect>();
  Prepared->setSource(source);  // loads in the background
}

bool TSoundOutput::StartWave(const std::string &path, bool loop) {
  StopWave();
  const QUrl source = SourceOf(path);
  if (!QFileInfo(source.toLocalFile()).isFile())
    return false;
  if (Prepared && Prepared->source() == source) {
    Effect = std::move(Prepared);
  } else {
    Effect = std::make_unique<QSoundEffect>();
    Effect->setSource(source);
  }
  Effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
  Effect->setVolume(static_cast<float>(Level));
  Effect->play();  // queued until the file is loaded; an unplayable file stays silent
  return true;
}

void TSoundOutput::StopWave() { Discard(Effect); }

void TSoundOutput::SetLevel(double level) {
  Level = level;
  if (Effect)
    Effect->setVolume(static_cast<float>(Level));
}

std::string TSoundOutput::Playing() const {
  return Effect ? Effect->source().toLocalFile().toStdString() : std::string();
}

// The module's entry point (see SoundModule.h).
extern "C" Q_DECL_EXPORT TWaveOutput *PagelumeNewSoundOutput() { return new TSoundOutput; }
