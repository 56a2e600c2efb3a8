// The MAIL-11 records other than plain text: status records (a success longword, or a
// failure longword with text records and a one-byte 00 end), the 00 end markers, the
// blank-padded sender name, and how a body line becomes a record. No I/O: the sender
// and the receiver move these over a link, the fuzz target feeds them arbitrary bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decnet/endpoint.h"

namespace pellam::mail11 {

inline constexpr uint32_t kSuccessCondition = 1;
// A peer's failure may carry several text records; more than this is garbage.
inline constexpr size_t kMaxStatusTextRecords = 64;

// A status as the peer sent it: a VMS condition value (odd = success, as VMS counts
// it) and the failure text records, unchanged.
struct Status {
  uint32_t condition = kSuccessCondition;
  std::vector<std::string> text;
  bool success() const { return (condition & 1) != 0; }
};

// The records of a status: `01 00 00 00` alone for success; for a failure the
// condition, one record per text entry (one empty record when there is no text, as
// the peer expects at least one), and the 00 end.
std::vector<decnet::Message> EncodeStatus(const Status& status);

// Reads a status one record at a time.
class StatusReader {
 public:
  enum class State { kNeedMore, kDone, kBad };
  State Feed(const decnet::Message& record);
  const Status& status() const { return status_; }

 private:
  bool have_condition_ = false;
  Status status_;
};

// The record of one 00 byte: end of recipients, end of message, end of failure text.
decnet::Message EndMarker();
bool IsEndMarker(const decnet::Message& record);

// VMS pads the sender's user name with blanks to 12 characters; a longer name goes
// as it is. Trimming on receipt removes trailing blanks only.
decnet::Message EncodeSenderName(std::string_view user);
std::string DecodeSenderName(const decnet::Message& record);

// A body line as a record. A line of exactly one NUL byte would read as the end
// marker at the peer, cutting the message short and throwing the rest of the
// conversation out of step; it goes out as an empty line instead (the NUL is the
// only thing lost). On receipt a one-byte 00 record is always the end marker.
decnet::Message EncodeBodyLine(std::string_view line);

decnet::Message ToRecord(std::string_view text);
std::string FromRecord(const decnet::Message& record);

}  // namespace pellam::mail11
