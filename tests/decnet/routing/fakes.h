// A data link and an NSP receiver that only record, for driving the routing state
// machines with a fake clock.
#pragma once

#include <string>
#include <vector>

#include "link/data_link.h"
#include "nsp/routing_port.h"

namespace decnet::testing {

inline Bytes Hex(const std::string& text) {
  Bytes out;
  for (size_t i = 0; i + 1 < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

class FakeLink : public DataLink {
 public:
  explicit FakeLink(bool lan) : lan_(lan) {}
  struct Sent {
    Bytes packet;
    MacAddress destination;
  };
  bool is_lan() const override { return lan_; }
  bool Start(LinkObserver& observer, TimePoint, std::string*) override {
    observer_ = &observer;
    return true;
  }
  void Stop() override { observer_ = nullptr; }
  bool Send(ByteSpan packet, const MacAddress& destination) override {
    if (refuse_sends) return false;
    sent.push_back({Bytes(packet.begin(), packet.end()), destination});
    return true;
  }
  void Restart(TimePoint now) override {
    ++restarts;
    if (observer_) observer_->OnLinkDown(now);
  }
  std::optional<TimePoint> NextDeadline() const override { return std::nullopt; }
  void Tick(TimePoint) override {}
  std::string Describe() const override { return "fake"; }

  // Sent packets whose first byte is `type`.
  std::vector<Bytes> SentOfType(uint8_t type) const {
    std::vector<Bytes> out;
    for (const auto& s : sent) {
      if (!s.packet.empty() && s.packet[0] == type) out.push_back(s.packet);
    }
    return out;
  }

  bool lan_;
  LinkObserver* observer_ = nullptr;
  std::vector<Sent> sent;
  int restarts = 0;
  bool refuse_sends = false;
};

class RecordingReceiver : public NspReceiver {
 public:
  struct Message {
    NodeAddress source;
    Bytes data;
    bool returned;
  };
  void OnNspMessage(NodeAddress source, ByteSpan nsp_message, bool returned) override {
    messages.push_back({source, Bytes(nsp_message.begin(), nsp_message.end()), returned});
  }
  std::vector<Message> messages;
};

}  // namespace decnet::testing
