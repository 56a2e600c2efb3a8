// The new-mail sound (WAVE resource 102), synthesised: a short two-note chime as a
// 16-bit mono PCM WAV file.
#pragma once

#include <QByteArray>

namespace resgen {

QByteArray SynthesiseNewMailSound();

}  // namespace resgen
