// The new-mail sound's modes and fallback.
#include "app/new_mail_sound.h"

namespace pelldesk {

void PlayNewMailSound(SoundSink& sink, int mode, const std::string& file) {
  if (mode == kSoundNone) return;
  if (mode == kSoundFile && (file.empty() ? sink.PlayBuiltIn() : sink.PlayFile(file))) return;
  for (int i = 0; i < 3; ++i) {
    sink.Beep(660, 25);
    sink.Pause(50);
  }
}

}  // namespace pelldesk
