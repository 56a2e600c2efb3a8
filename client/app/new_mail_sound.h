// The new-mail indication by sound: no sound, three short beeps, or a sound file (the
// built-in chime when none is named), with the beeps as the fallback whenever a file
// cannot be played. The sounds go to a replaceable sink so that tests can record them.
#pragma once

#include <string>

namespace pelldesk {

// Where sounds go. Every call is synchronous: it returns when the sound has ended.
class SoundSink {
 public:
  virtual ~SoundSink() = default;
  // False when the file cannot be played (missing, not a sound, no audio device).
  virtual bool PlayFile(const std::string& path) = 0;
  // The built-in new-mail sound; false when it cannot be played.
  virtual bool PlayBuiltIn() = 0;
  virtual void Beep(unsigned frequency_hz, unsigned duration_ms) = 0;
  virtual void Pause(unsigned duration_ms) = 0;
};

// Sound modes of the Beep setting.
inline constexpr int kSoundNone = 0;
inline constexpr int kSoundBeep = 1;
inline constexpr int kSoundFile = 2;

// Mode 0: nothing. Mode 2: `file`, or the built-in sound when `file` is empty; if that
// plays, done. Otherwise (mode 1, any other mode, or a file that failed): three times a
// beep of 660 Hz for 25 ms and a pause of 50 ms.
void PlayNewMailSound(SoundSink& sink, int mode, const std::string& file);

}  // namespace pelldesk
