// Playing the new-mail sound with Qt Multimedia.
#include "app/qt_sound_sink.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>

#include "app/resource_ids.h"

namespace pelldesk {
namespace {

uint32_t Le32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}

// Runs a local event loop until `done` says so or `limit_ms` pass.
template <typename Done>
void WaitFor(unsigned limit_ms, Done done) {
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(static_cast<int>(limit_ms), &loop, &QEventLoop::quit);
  poll.start();
  if (!done()) loop.exec();
}

bool PlayWav(const QUrl& source, QIODevice& header) {
  if (!QtSoundSink::HasAudioOutput()) return false;
  std::optional<unsigned> duration = WavDurationMs(header);
  if (!duration) return false;
  QSoundEffect effect;
  effect.setSource(source);
  WaitFor(2000, [&] {
    return effect.status() == QSoundEffect::Ready || effect.status() == QSoundEffect::Error;
  });
  if (effect.status() != QSoundEffect::Ready) return false;
  effect.play();
  bool started = false;
  WaitFor(*duration + 1000, [&] {
    started |= effect.isPlaying();
    return started && !effect.isPlaying();
  });
  effect.stop();
  return true;
}

}  // namespace

std::optional<unsigned> WavDurationMs(QIODevice& file) {
  if (!file.isOpen() && !file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray head = file.read(12);
  if (head.size() != 12 || std::memcmp(head.constData(), "RIFF", 4) != 0 ||
      std::memcmp(head.constData() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  uint32_t byte_rate = 0;
  for (int chunks = 0; chunks < 64; ++chunks) {
    QByteArray chunk = file.read(8);
    if (chunk.size() != 8) return std::nullopt;
    const uint32_t size = Le32(chunk.constData() + 4);
    if (std::memcmp(chunk.constData(), "fmt ", 4) == 0) {
      QByteArray format = file.read(size);
      if (format.size() < 16 || static_cast<uint32_t>(format.size()) != size) return std::nullopt;
      byte_rate = Le32(format.constData() + 8);
      if ((size & 1u) != 0) file.read(1);
    } else if (std::memcmp(chunk.constData(), "data", 4) == 0) {
      if (byte_rate == 0) return std::nullopt;
      return static_cast<unsigned>(static_cast<uint64_t>(size) * 1000u / byte_rate);
    } else if (!file.seek(file.pos() + size + (size & 1u))) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool QtSoundSink::HasAudioOutput() { return !QMediaDevices::audioOutputs().isEmpty(); }

bool QtSoundSink::PlayFile(const std::string& path) {
  QString name = QFile::decodeName(QByteArray::fromStdString(path));
  QFile file(name);
  return PlayWav(QUrl::fromLocalFile(name), file);
}

bool QtSoundSink::PlayBuiltIn() {
  QString name = QString(":/sounds/%1.wav").arg(kNewMailSound);
  QFile file(name);
  return PlayWav(QUrl("qrc" + name), file);
}

void QtSoundSink::Beep(unsigned frequency_hz, unsigned duration_ms) {
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  QAudioFormat format = device.preferredFormat();
  const bool usable = !device.isNull() && format.channelCount() > 0 && format.sampleRate() > 0 &&
                      (format.sampleFormat() == QAudioFormat::Int16 ||
                       format.sampleFormat() == QAudioFormat::Float);
  if (!usable) {
    QApplication::beep();
    return;
  }
  const int frames = format.sampleRate() * static_cast<int>(duration_ms) / 1000;
  QByteArray pcm;
  pcm.reserve(frames * format.bytesPerFrame());
  for (int i = 0; i < frames; ++i) {
    const double value =
        0.4 * std::sin(2 * std::numbers::pi * frequency_hz * i / format.sampleRate());
    for (int channel = 0; channel < format.channelCount(); ++channel) {
      if (format.sampleFormat() == QAudioFormat::Int16) {
        const auto sample = static_cast<int16_t>(value * 32767);
        pcm.append(reinterpret_cast<const char*>(&sample), sizeof sample);
      } else {
        const auto sample = static_cast<float>(value);
        pcm.append(reinterpret_cast<const char*>(&sample), sizeof sample);
      }
    }
  }
  QBuffer buffer(&pcm);
  buffer.open(QIODevice::ReadOnly);
  QAudioSink sink(device, format);
  sink.start(&buffer);
  WaitFor(duration_ms + 500, [&] {
    return sink.state() == QAudio::IdleState || sink.state() == QAudio::StoppedState;
  });
  sink.stop();
}

void QtSoundSink::Pause(unsigned duration_ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(duration_ms));
}

}  // namespace pelldesk
