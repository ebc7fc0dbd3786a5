// The sound output, loaded when it is first needed. Qt Multimedia and the
// sound server's libraries it brings (PulseAudio, the codecs) live in a
// module of their own, "pagelume-sound.so": loaded with the program, they
// cost every start about 7 ms, and most readers never play a sound.
#pragma once

#include "BackSounds.h"

#include <QString>

#include <memory>

// An output that loads the module at the first sound prepared or played and
// hands everything on to the module's output. Without the module it stays
// silent (every start fails) and says why once on the error output.
std::unique_ptr<TWaveOutput> NewSoundOutput();

// Where the module is looked for: beside the program (the build tree, an
// installed copy), then in a system package's library folder
// (/usr/lib/pagelume for /usr/bin/pagelume).
QStringList SoundModulePaths();
