// Status, marker, sender-name and body-line records. A failure's text is kept as the
// peer sent it, record by record, so that it can be quoted back to the user.
#include "mail11/records.h"

namespace pellam::mail11 {

decnet::Message ToRecord(std::string_view text) { return decnet::Message(text.begin(), text.end()); }

std::string FromRecord(const decnet::Message& record) { return std::string(record.begin(), record.end()); }

decnet::Message EndMarker() { return decnet::Message{0}; }

bool IsEndMarker(const decnet::Message& record) { return record.size() == 1 && record[0] == 0; }

std::vector<decnet::Message> EncodeStatus(const Status& status) {
  const uint32_t c = status.condition;
  std::vector<decnet::Message> records;
  records.push_back({static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16),
                     static_cast<uint8_t>(c >> 24)});
  if (status.success()) return records;
  for (const std::string& text : status.text) {
    // A text record of one 00 byte would end the status early.
    records.push_back(text == std::string_view("\0", 1) ? decnet::Message{} : ToRecord(text));
  }
  if (status.text.empty()) records.push_back({});
  records.push_back(EndMarker());
  return records;
}

StatusReader::State StatusReader::Feed(const decnet::Message& record) {
  if (!have_condition_) {
    if (record.size() != 4) return State::kBad;
    status_.condition = uint32_t{record[0]} | uint32_t{record[1]} << 8 | uint32_t{record[2]} << 16 |
                        uint32_t{record[3]} << 24;
    have_condition_ = true;
    return status_.success() ? State::kDone : State::kNeedMore;
  }
  if (IsEndMarker(record)) return status_.text.empty() ? State::kBad : State::kDone;
  if (status_.text.size() == kMaxStatusTextRecords) return State::kBad;
  status_.text.push_back(FromRecord(record));
  return State::kNeedMore;
}

decnet::Message EncodeSenderName(std::string_view user) {
  decnet::Message record = ToRecord(user);
  if (record.size() < 12) record.resize(12, ' ');
  return record;
}

std::string DecodeSenderName(const decnet::Message& record) {
  std::string name = FromRecord(record);
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

decnet::Message EncodeBodyLine(std::string_view line) {
  if (line == std::string_view("\0", 1)) return {};
  return ToRecord(line);
}

}  // namespace pellam::mail11
