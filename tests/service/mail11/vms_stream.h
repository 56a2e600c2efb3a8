// The reported record stream of OpenVMS V7.3 MAIL sending to another VAX: the
// connect and confirm data and every record, with one recipient accepted and one
// refused. Played from either end, so that both our sender and our receiver are
// held to the same bytes.
#pragma once

#include <vector>

#include "scripted_link.h"

namespace pellam::mail11::test {

inline const decnet::Message kVmsConnectData = Hex("03 01 00 07 00 00 00 00 10 00 00 00 02 02 00 00");
inline const decnet::Message kVmsConfirmData = Hex("03 01 00 07 00 00 00 00 20 00 00 00 02 02 00 00");
inline constexpr uint32_t kNoSuchUserCondition = 0x007e8112;
inline constexpr const char* kNoSuchUserText = "%MAIL-E-NOSUCHUSR, no such user NOSUCHUSER at node VAX2";
inline const std::vector<std::string> kVmsBody = {"Hello,", "", "a line after an empty one."};

// One record of the conversation, tagged with who sends it.
struct Record {
  bool from_sender;
  decnet::Message bytes;
};

inline std::vector<Record> VmsConversation() {
  std::vector<Record> records = {
      {true, Bytes("SYSTEM      ")},
      {true, Bytes("SYSTEM")},
      {false, Hex("01 00 00 00")},
      {true, Bytes("NOSUCHUSER")},
      {false, Hex("12 81 7e 00")},
      {false, Bytes(kNoSuchUserText)},
      {false, Hex("00")},
      {true, Hex("00")},
      {true, Bytes("VAX2::SYSTEM")},
      {true, {}},  // the CC line, empty
      {true, Bytes("Test message")},
  };
  for (const std::string& line : kVmsBody) records.push_back({true, Bytes(line)});
  records.push_back({true, Hex("00")});
  records.push_back({false, Hex("01 00 00 00")});
  return records;
}

// The conversation as the scripted peer plays it when we are the receiver (peer
// sends the sender's records) or the sender; `count` cuts it after that many records.
inline std::vector<Step> PlayAs(bool peer_is_sender, const std::vector<Record>& records,
                                size_t count = static_cast<size_t>(-1)) {
  std::vector<Step> steps;
  for (size_t i = 0; i < records.size() && i < count; ++i) {
    steps.push_back({records[i].from_sender == peer_is_sender ? Step::kToUs : Step::kFromUs, records[i].bytes});
  }
  return steps;
}

}  // namespace pellam::mail11::test
