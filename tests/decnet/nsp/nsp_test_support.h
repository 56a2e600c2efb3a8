// Helpers for the NSP and session tests: hex vectors, a fake routing port that
// records what NSP sends, a fake clock, and a recorder of NSP's upcalls.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/clock.h"
#include "nsp/nsp_types.h"
#include "nsp/packets.h"
#include "nsp/routing_port.h"

namespace decnet::test {

inline Bytes Hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  std::string byte;
  while (in >> byte) {
    if (byte == "|") continue;
    out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
  }
  return out;
}

inline std::string ToHex(ByteSpan bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

inline Bytes Encode(const NspMessage& m) {
  Bytes out;
  EncodeNsp(m, out);
  return out;
}

struct FakeClock {
  TimePoint now = TimePoint{} + std::chrono::hours(1);
  void Advance(Duration d) { now += d; }
};

class FakeRouting : public RoutingPort {
 public:
  explicit FakeRouting(NodeAddress local) : local_(local) {}
  struct Sent {
    NodeAddress to;
    Bytes wire;
    bool rqr;
  };
  bool SendNsp(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) override {
    sent.push_back({destination, Bytes(nsp_message.begin(), nsp_message.end()), return_to_sender});
    return up;
  }
  NodeAddress LocalAddress() const override { return local_; }
  size_t MaxNspMessage() const override { return 576; }

  std::vector<Sent> sent;
  bool up = true;  // false: no adjacency, SendNsp refuses
  // Everything sent so far, decoded; clears the record.
  std::vector<Bytes> Take() {
    std::vector<Bytes> out;
    for (auto& s : sent) out.push_back(s.wire);
    sent.clear();
    return out;
  }

 private:
  NodeAddress local_;
};

struct Recorded {
  std::string what;  // "connect", "accepted", "data", "interrupt", "progress", "closed"
  Bytes data;
  CloseKind kind = CloseKind::kLocal;
  uint16_t reason = 0;
  size_t messages = 0, bytes = 0;
};

class Recorder : public NspEvents {
 public:
  static Recorded Make(const char* what, ByteSpan d) {
    Recorded r;
    r.what = what;
    r.data.assign(d.begin(), d.end());
    return r;
  }
  void OnConnectInitiate(Connection& c, ByteSpan d) override {
    last = &c;
    events.push_back(Make("connect", d));
  }
  void OnAccepted(Connection&, ByteSpan d) override { events.push_back(Make("accepted", d)); }
  void OnData(Connection&, Bytes&& m) override { events.push_back(Make("data", m)); }
  bool OnInterrupt(Connection&, ByteSpan d) override {
    events.push_back(Make("interrupt", d));
    return grant_interrupts;
  }
  void OnSendProgress(Connection&, size_t messages, size_t bytes) override {
    Recorded r;
    r.what = "progress";
    r.messages = messages;
    r.bytes = bytes;
    events.push_back(r);
  }
  void OnClosed(Connection&, CloseKind kind, uint16_t reason, ByteSpan d) override {
    Recorded r = Make("closed", d);
    r.kind = kind;
    r.reason = reason;
    events.push_back(r);
  }
  std::vector<Recorded> Take(const std::string& what) {
    std::vector<Recorded> out, rest;
    for (auto& e : events) (e.what == what ? out : rest).push_back(e);
    events = rest;
    return out;
  }
  std::vector<Recorded> events;
  Connection* last = nullptr;
  bool grant_interrupts = true;
};

}  // namespace decnet::test
