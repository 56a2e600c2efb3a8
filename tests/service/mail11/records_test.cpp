// Status records both ways, the sender name's padding and trimming, and body lines.
#include <gtest/gtest.h>

#include "mail11/records.h"
#include "vms_stream.h"

namespace pellam::mail11::test {
namespace {

TEST(Mail11Records, StatusesEncodeAsTheVmsServerSendsThem) {
  EXPECT_EQ(EncodeStatus(Status{}), std::vector<decnet::Message>{Hex("01 00 00 00")});
  EXPECT_EQ(EncodeStatus(Status{kNoSuchUserCondition, {kNoSuchUserText}}),
            (std::vector<decnet::Message>{Hex("12 81 7e 00"), Bytes(kNoSuchUserText), Hex("00")}));
  // A failure always carries a text record, and none of them can end it early.
  EXPECT_EQ(EncodeStatus(Status{2, {}}), (std::vector<decnet::Message>{Hex("02 00 00 00"), {}, Hex("00")}));
  EXPECT_EQ(EncodeStatus(Status{2, {std::string(1, '\0'), "b"}}),
            (std::vector<decnet::Message>{Hex("02 00 00 00"), {}, Bytes("b"), Hex("00")}));
}

TEST(Mail11Records, StatusReaderTakesWhatThePeerMaySend) {
  using State = StatusReader::State;
  struct Row {
    const char* what;
    std::vector<decnet::Message> records;
    State last;
    uint32_t condition;
    size_t texts;
  };
  const Row rows[] = {
      {"success", {Hex("01 00 00 00")}, State::kDone, 1, 0},
      {"informational counts as success", {Hex("03 00 00 00")}, State::kDone, 3, 0},
      {"VMS failure", {Hex("12 81 7e 00"), Bytes(kNoSuchUserText), Hex("00")}, State::kDone, 0x7e8112, 1},
      {"two text records, one empty", {Hex("02 00 00 00"), Bytes("a"), {}, Hex("00")}, State::kDone, 2, 2},
      {"failure still open", {Hex("02 00 00 00"), Bytes("a")}, State::kNeedMore, 2, 1},
      {"no text at all", {Hex("02 00 00 00"), Hex("00")}, State::kBad, 2, 0},
      {"empty condition", {{}}, State::kBad, 1, 0},
      {"3-byte condition", {Hex("01 00 00")}, State::kBad, 1, 0},
      {"5-byte condition", {Hex("01 00 00 00 00")}, State::kBad, 1, 0},
  };
  for (const Row& row : rows) {
    StatusReader reader;
    State state = State::kNeedMore;
    for (const auto& record : row.records) state = reader.Feed(record);
    EXPECT_EQ(state, row.last) << row.what;
    EXPECT_EQ(reader.status().condition, row.condition) << row.what;
    EXPECT_EQ(reader.status().text.size(), row.texts) << row.what;
  }
  StatusReader endless;
  StatusReader::State state = endless.Feed(Hex("02 00 00 00"));
  for (size_t i = 0; i <= kMaxStatusTextRecords; ++i) state = endless.Feed(Bytes("x"));
  EXPECT_EQ(state, StatusReader::State::kBad);
}

TEST(Mail11Records, SenderNamesArePaddedAndTrimmed) {
  EXPECT_EQ(EncodeSenderName("SYSTEM"), Bytes("SYSTEM      "));
  EXPECT_EQ(EncodeSenderName("ABCDEFGHIJKLMN"), Bytes("ABCDEFGHIJKLMN"));
  EXPECT_EQ(DecodeSenderName(Bytes("SYSTEM      ")), "SYSTEM");
  EXPECT_EQ(DecodeSenderName(Bytes("\"ann@host\"")), "\"ann@host\"");
  EXPECT_EQ(DecodeSenderName(Bytes("  A B  ")), "  A B");
  EXPECT_EQ(DecodeSenderName(Bytes("    ")), "");
}

TEST(Mail11Records, BodyLinesNeverLookLikeTheEnd) {
  EXPECT_EQ(EncodeBodyLine(""), decnet::Message{});
  EXPECT_EQ(EncodeBodyLine(std::string(1, '\0')), decnet::Message{});
  EXPECT_EQ(EncodeBodyLine(std::string(2, '\0')), Hex("00 00"));
  EXPECT_EQ(EncodeBodyLine("text"), Bytes("text"));
  EXPECT_TRUE(IsEndMarker(EndMarker()));
  EXPECT_FALSE(IsEndMarker({}));
  EXPECT_FALSE(IsEndMarker(Hex("00 00")));
}

}  // namespace
}  // namespace pellam::mail11::test
