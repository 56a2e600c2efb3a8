// A two-note chime from sine tones with a soft attack and decay, written as RIFF WAVE.
#include "wave.h"

#include <QDataStream>
#include <QIODevice>

#include <cmath>
#include <numbers>
#include <cstdint>
#include <vector>

namespace resgen {
namespace {

constexpr int kRate = 22050;

void AppendTone(std::vector<int16_t>& samples, double frequency, double seconds) {
  const int count = static_cast<int>(seconds * kRate);
  for (int i = 0; i < count; ++i) {
    double t = static_cast<double>(i) / kRate;
    double attack = std::min(1.0, t / 0.008);
    double decay = std::exp(-4.0 * t / seconds);
    double phase = 2 * std::numbers::pi * frequency * t;
    double value = std::sin(phase) + 0.3 * std::sin(2 * phase);
    samples.push_back(static_cast<int16_t>(value * attack * decay * 12000));
  }
}

}  // namespace

QByteArray SynthesiseNewMailSound() {
  std::vector<int16_t> samples;
  AppendTone(samples, 880.0, 0.16);
  AppendTone(samples, 660.0, 0.28);

  const auto data_size = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
  QByteArray wav;
  QDataStream out(&wav, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << static_cast<uint32_t>(36 + data_size);
  out.writeRawData("WAVE", 4);
  out.writeRawData("fmt ", 4);
  out << static_cast<uint32_t>(16) << static_cast<uint16_t>(1)  // PCM
      << static_cast<uint16_t>(1)                               // mono
      << static_cast<uint32_t>(kRate) << static_cast<uint32_t>(kRate * 2)
      << static_cast<uint16_t>(2) << static_cast<uint16_t>(16);
  out.writeRawData("data", 4);
  out << data_size;
  for (int16_t sample : samples) out << sample;
  return wav;
}

}  // namespace resgen
