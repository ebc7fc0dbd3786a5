#include "SoundOutput.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

TSoundOutput::TSoundOutput() = default;

TSoundOutput::~TSoundOutput() { StopWave(); }

bool TSoundOutput::StartWave(const std::string &path, bool loop) {
  const QString file = QString::fromStdString(path);
  if (!QFileInfo(file).isFile())
    return false;
  StopWave();
  Effect = std::make_unique<QSoundEffect>();
  Effect->setSource(QUrl::fromLocalFile(file));
  Effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
  Effect->setVolume(static_cast<float>(Level));
  Effect->play();  // queued until the file is loaded; an unplayable file stays silent
  return true;
}

void TSoundOutput::StopWave() {
  if (!Effect)
    return;
  Effect->stop();
  // Deleted later: the effect may still be busy in its loading thread.
  Effect.release()->deleteLater();
}

void TSoundOutput::SetLevel(double level) {
  Level = level;
  if (Effect)
    Effect->setVolume(static_cast<float>(Level));
}

std::string TSoundOutput::Playing() const {
  return Effect ? Effect->source().toLocalFile().toStdString() : std::string();
}
