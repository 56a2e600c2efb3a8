// The new-mail sound: its modes and the three-beep fallback through a recording sink,
// and the Qt sink on this machine, which may have no audio device at all: a play must
// then fail at once (so the beeps follow) rather than wait for a sound that never ends.
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>

#include "app/qt_sound_sink.h"
#include "client_test_support.h"

namespace pelldesk::test {
namespace {

const std::vector<std::string> kThreeBeeps = {"beep:660:25", "pause:50", "beep:660:25",
                                              "pause:50",    "beep:660:25", "pause:50"};

TEST(NewMailSound, ModesAndFallback) {
  struct Row {
    int mode;
    const char* file;
    bool files_play;
    std::vector<std::string> calls;
  } rows[] = {
      {0, "", true, {}},
      {0, "/snd/ding.wav", true, {}},
      {1, "/snd/ding.wav", true, kThreeBeeps},
      {2, "/snd/ding.wav", true, {"file:/snd/ding.wav"}},
      {2, "", true, {"builtin"}},
      {7, "", true, kThreeBeeps},
      {-1, "", true, kThreeBeeps},
  };
  for (const Row& row : rows) {
    auto log = std::make_shared<SoundLog>();
    log->filesPlay = row.files_play;
    RecordingSoundSink sink(log);
    PlayNewMailSound(sink, row.mode, row.file);
    EXPECT_EQ(log->Calls(), row.calls) << "mode " << row.mode << " file '" << row.file << "'";
  }
  // A file that cannot be played gives the three beeps after the attempt.
  auto log = std::make_shared<SoundLog>();
  log->filesPlay = false;
  RecordingSoundSink sink(log);
  PlayNewMailSound(sink, 2, "/snd/missing.wav");
  std::vector<std::string> wanted = {"file:/snd/missing.wav"};
  wanted.insert(wanted.end(), kThreeBeeps.begin(), kThreeBeeps.end());
  EXPECT_EQ(log->Calls(), wanted);
}

TEST(QtSoundSink, UnplayableFilesFailQuickly) {
  ClientSandbox sandbox;
  pellam::test::WriteTextFile(sandbox.Path("not-a-sound.wav"), "plain text, not RIFF");
  QtSoundSink sink;
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(sink.PlayFile(sandbox.Path("missing.wav")));
  EXPECT_FALSE(sink.PlayFile(sandbox.Path("not-a-sound.wav")));
  if (!QtSoundSink::HasAudioOutput()) {
    EXPECT_FALSE(sink.PlayBuiltIn()) << "no audio device counts as a failed play";
  }
  EXPECT_LT(timer.elapsed(), 3000);
}

TEST(QtSoundSink, BeepsWithoutADeviceReturnAtOnce) {
  if (QtSoundSink::HasAudioOutput()) GTEST_SKIP() << "this machine has an audio device";
  QtSoundSink sink;
  QElapsedTimer timer;
  timer.start();
  PlayNewMailSound(sink, kSoundFile, "");  // the built-in sound fails, three beeps follow
  EXPECT_LT(timer.elapsed(), 2000) << "three beeps and pauses of 75 ms, not a wait for ever";
}

TEST(QtSoundSink, KnowsHowLongAWavLasts) {
  QFile builtin(":/sounds/102.wav");
  std::optional<unsigned> ms = WavDurationMs(builtin);
  ASSERT_TRUE(ms.has_value()) << "the built-in sound is a PCM WAV";
  EXPECT_GT(*ms, 200u);
  EXPECT_LT(*ms, 2000u);

  QByteArray truncated("RIFF\x10\x00\x00\x00WAVEfmt ", 16);
  QBuffer buffer(&truncated);
  EXPECT_FALSE(WavDurationMs(buffer).has_value());
  QByteArray not_wav("RIFX0000WAVE");
  QBuffer other(&not_wav);
  EXPECT_FALSE(WavDurationMs(other).has_value());
}

}  // namespace
}  // namespace pelldesk::test
