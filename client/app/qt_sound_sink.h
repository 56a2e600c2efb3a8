// The sound sink of the running client, over Qt Multimedia. Qt's sound effect reports
// no error and seems to play for ever when there is no audio device, so the device list
// is checked first and "no device" counts as a failed play; a play never waits longer
// than its WAV header says the sound lasts (plus a margin).
#pragma once

#include <QIODevice>

#include <optional>

#include "app/new_mail_sound.h"

namespace pelldesk {

class QtSoundSink : public SoundSink {
 public:
  bool PlayFile(const std::string& path) override;
  bool PlayBuiltIn() override;
  // A sine tone on the default audio device; the display's bell when there is none.
  void Beep(unsigned frequency_hz, unsigned duration_ms) override;
  void Pause(unsigned duration_ms) override;

  static bool HasAudioOutput();
};

// The playing time of a PCM WAV file from its header; nullopt when it is not one.
std::optional<unsigned> WavDurationMs(QIODevice& file);

}  // namespace pelldesk
