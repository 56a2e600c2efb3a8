// The MAIL-11 receiver fed an arbitrary record stream through a fake link, and the
// status reader fed the same records. Invariants: nothing crashes; final delivery is
// asked for only when the whole sequence was well formed (checked here by a separate,
// plain reading of the same records), once per accepted recipient, in order, and the
// text handed over is exactly the body lines of that sequence.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail11/receiver.h"
#include "mail11/records.h"

using namespace pellam::mail11;

namespace {

// Plays the records in order, swallows whatever we send, then disconnects.
class FeedingLink : public decnet::Link {
 public:
  explicit FeedingLink(const std::vector<decnet::Message>& records) : records_(records) {}
  decnet::Outcome Send(const decnet::Message&, std::chrono::milliseconds) override { return {}; }
  decnet::Outcome Receive(decnet::Message& message, std::chrono::milliseconds) override {
    if (next_ == records_.size()) return {decnet::LinkError::kDisconnected, 0, {}};
    message = records_[next_++];
    return {};
  }
  void Disconnect(uint16_t, const decnet::Message&) override {}
  void Abort(uint16_t) override {}
  decnet::NodeAddress remote() const override { return decnet::NodeAddress::Of(1, 1); }
  const decnet::Message& accept_data() const override { return none_; }

 private:
  const std::vector<decnet::Message>& records_;
  size_t next_ = 0;
  decnet::Message none_;
};

bool Accepts(std::string_view recipient) { return recipient.empty() || recipient[0] % 2 == 0; }

// The sequence read plainly: well formed when it reaches the end of message.
struct Reference {
  bool well_formed = false;
  size_t accepted = 0;
  std::vector<std::string> body;
};

Reference Read(const std::vector<decnet::Message>& r, bool cc) {
  Reference ref;
  size_t i = 1;  // after the sender's name
  if (r.empty()) return ref;
  for (; i < r.size() && !IsEndMarker(r[i]); ++i) ref.accepted += Accepts(FromRecord(r[i]));
  if (i - 1 > kMaxRecipientRecords) return ref;  // refused as garbage, however it goes on
  i += 1 + 1 + (cc ? 1 : 0) + 1;  // the end of recipients, To, CC, Subject
  for (; i < r.size() && !IsEndMarker(r[i]); ++i) ref.body.push_back(FromRecord(r[i]));
  ref.well_formed = i < r.size();
  return ref;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool cc = data[0] & 1;
  std::vector<decnet::Message> records;
  for (size_t at = 1; at < size;) {  // each record: a length byte, then that many bytes
    const size_t length = std::min<size_t>(data[at], size - at - 1);
    records.emplace_back(data + at + 1, data + at + 1 + length);
    at += 1 + length;
  }

  StatusReader reader;
  for (const auto& record : records) {
    if (reader.Feed(record) != StatusReader::State::kNeedMore) break;
  }

  std::vector<std::string> body;
  std::vector<size_t> delivered;
  ReceiverCallbacks callbacks;
  callbacks.check = [](const Envelope&, std::string_view recipient) {
    return Accepts(recipient) ? Status{} : Status{0x7e8112, {"refused"}};
  };
  callbacks.begin_text = [](const Envelope&) { return true; };
  callbacks.body_line = [&](std::string_view line) {
    body.emplace_back(line);
    return true;
  };
  callbacks.deliver = [&](const Envelope& envelope, size_t index) {
    if (index >= envelope.recipients.size()) std::abort();
    delivered.push_back(index);
    return Status{};
  };
  FeedingLink link(records);
  const ReceiveResult result = ReceiveMessage(link, Terms{cc}, callbacks, std::chrono::milliseconds(1));

  const Reference ref = Read(records, cc);
  if (result.complete != ref.well_formed) std::abort();
  if (!ref.well_formed && !delivered.empty()) std::abort();
  if (ref.well_formed) {
    if (delivered.size() != ref.accepted || body != ref.body) std::abort();
    for (size_t i = 0; i < delivered.size(); ++i) {
      if (delivered[i] != i) std::abort();
    }
  }
  return 0;
}
