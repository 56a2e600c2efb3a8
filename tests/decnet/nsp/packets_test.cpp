// NSP messages byte for byte: the captured frames, hand-built vectors for the fields
// a capture does not show, and what the decoder must refuse.
#include "nsp/packets.h"

#include <gtest/gtest.h>

#include "nsp_test_support.h"
#include "nsp/seq.h"

namespace decnet {
namespace {
using test::Hex;
using test::ToHex;

TEST(NspPackets, CapturedConnectInitiate) {
  Bytes wire = Hex(
      "18 00 00 1b 99 01 02 33 02 | 00 1b | 01 00 05 4a 4f 4e 45 53 | 02 | "
      "10 03 01 00 12 00 00 00 00 10 00 00 00 02 02 00 00");
  auto m = DecodeNsp(wire);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type, NspType::kConnectInitiate);
  EXPECT_EQ(m->dst, 0);
  EXPECT_EQ(m->src, 0x991b);
  EXPECT_EQ(m->flow(), FlowMode::kNone);
  EXPECT_EQ(m->info, kNspInfo40);
  EXPECT_EQ(m->segsize, 563);
  EXPECT_EQ(m->data.size(), 28u);
  EXPECT_EQ(ToHex(test::Encode(*m)), ToHex(wire));
}

TEST(NspPackets, CapturedConfirmAckAndData) {
  Bytes cc = Hex("28 1b 99 9f e5 01 02 33 02 10 03 01 00 12 00 00 00 00 20 00 00 00 02 02 00 00");
  auto m = DecodeNsp(cc);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type, NspType::kConnectConfirm);
  EXPECT_EQ(m->dst, 0x991b);
  EXPECT_EQ(m->src, 0xe59f);
  EXPECT_TRUE(m->has_data_ctl);
  EXPECT_EQ(m->data.size(), 16u);
  EXPECT_EQ(ToHex(test::Encode(*m)), ToHex(cc));

  Bytes data = Hex("60 9f e5 1b 99 01 10 4a 4f 4e 45 53 20 20 20 20 20 20 20");
  m = DecodeNsp(data);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type, NspType::kData);
  EXPECT_TRUE(m->bom());
  EXPECT_TRUE(m->eom());
  EXPECT_EQ(m->segnum(), 1);
  EXPECT_TRUE(m->dly());
  EXPECT_FALSE(m->ack1.present());
  EXPECT_EQ(std::string(m->data.begin(), m->data.end()), "JONES       ");
  EXPECT_EQ(ToHex(test::Encode(*m)), ToHex(data));

  Bytes ack = Hex("04 9f e5 1b 99 00 80");
  m = DecodeNsp(ack);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type, NspType::kDataAck);
  EXPECT_EQ(m->ack1.number(), 0);
  EXPECT_EQ(m->ack1.qualifier(), kAck);
  EXPECT_EQ(ToHex(test::Encode(*m)), ToHex(ack));

  m = DecodeNsp(Hex("24 1b 99"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type, NspType::kConnectAck);
  EXPECT_EQ(m->dst, 0x991b);
}

// Hand-built vectors: every message type, ack qualifiers, wrap, limits.
TEST(NspPackets, HandBuiltVectorsRoundTrip) {
  struct Row {
    const char* name;
    const char* hex;
    NspType type;
  };
  const Row rows[] = {
      {"middle segment, both acks", "00 01 00 02 00 ff 8f 05 a0 fe 0f 61 62", NspType::kData},
      {"data with NAK", "20 01 00 02 00 07 90 03 00", NspType::kData},
      {"data, cross ack only", "40 01 00 02 00 01 a0 03 00", NspType::kData},
      {"interrupt, 16 bytes", "30 01 00 02 00 01 00 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f",
       NspType::kInterrupt},
      {"link service XOFF", "10 01 00 02 00 02 00 01 00", NspType::kLinkService},
      {"link service interrupt credit", "10 01 00 02 00 03 00 04 01", NspType::kLinkService},
      {"link service negative credit", "10 01 00 02 00 04 00 00 fe", NspType::kLinkService},
      {"other-data ack with cross NAK", "14 01 00 02 00 02 80 05 b0", NspType::kOtherAck},
      {"data ack at 4095", "04 01 00 02 00 ff 8f", NspType::kDataAck},
      {"retransmitted CI, segment flow", "68 00 00 02 00 05 02 33 02 00 19 00 19 00", NspType::kConnectInitiate},
      {"CC, 16-byte data-ctl", "28 01 00 02 00 09 02 00 02 10 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f",
       NspType::kConnectConfirm},
      {"CC without data-ctl", "28 01 00 02 00 01 00 33 02", NspType::kConnectConfirm},
      {"DI with data", "38 01 00 02 00 22 00 02 68 69", NspType::kDisconnectInitiate},
      {"DI, 16-byte data", "38 01 00 02 00 00 00 10 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f",
       NspType::kDisconnectInitiate},
      {"DC no link", "48 01 00 02 00 29 00", NspType::kDisconnectConfirm},
      {"CA with extra bytes", "24 01 00 00 00", NspType::kConnectAck},
      {"NOP", "08 01 02", NspType::kNop},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes wire = Hex(row.hex);
    auto m = DecodeNsp(wire);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, row.type);
    EXPECT_EQ(ToHex(test::Encode(*m)), ToHex(wire));
  }
}

TEST(NspPackets, AckFieldsAndSequenceNumbers) {
  auto m = DecodeNsp(Hex("00 01 00 02 00 ff 8f 05 a0 fe 0f"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->ack1.number(), 4095);
  EXPECT_EQ(m->ack1.qualifier(), kAck);
  EXPECT_EQ(m->ack2.number(), 5);
  EXPECT_EQ(m->ack2.qualifier(), kCrossAck);
  EXPECT_EQ(m->segnum(), 4094);
  EXPECT_FALSE(m->dly());

  EXPECT_EQ(AckField::Make(4095, kNak).raw, 0x9fff);
  EXPECT_EQ(AckField::Make(0, kCrossNak).raw, 0xb000);

  EXPECT_EQ(SeqAdd(4095, 1), 0);
  EXPECT_EQ(SeqDiff(0, 4095), 1);
  EXPECT_EQ(SeqDiff(4095, 0), -1);
  EXPECT_TRUE(SeqBefore(4090, 3));
  EXPECT_FALSE(SeqBefore(3, 4090));
  EXPECT_EQ(SeqDiff(2047, 0), 2047);
  EXPECT_EQ(SeqDiff(2048, 0), -2048);
}

TEST(NspPackets, RefusesMalformed) {
  const char* rows[] = {
      "",                                      // nothing
      "03 01 00 02 00",                        // reserved msgflg bits
      "0c 01 00",                              // reserved type
      "50 01 00 02 00 01 00",                  // reserved data subtype
      "58 01 00 02 00",                        // node init is not NSP's
      "00 01 00 02",                           // data without segnum
      "00 01 00 02 00 01 80 02 80 01 00",      // two acks for one subchannel
      "00 01 00 02 00 01 c0 01 00",            // ack qualifier 4
      "04 01 00 02 00",                        // data ack without its ack
      "10 01 00 02 00 01 00 03 00",            // fcmod 3
      "10 01 00 02 00 01 00 08 00",            // fcval_int 2
      "10 01 00 02 00 01 00 00",               // link service without fcval
      "18 01 00 02 00 01 02 33 02",            // CI to a non-zero address
      "18 00 00 02 00 01 02 33",               // CI cut short
      "28 01 00 02 00 01 02 33 02 05 01 02",   // data-ctl past the end
      "28 01 00 02 00 01 02 33 02 11 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10",  // 17 bytes
      "38 01 00 02 00 00",                     // DI without a whole reason
      "48 01 00 02 00",                        // DC without reason
      "24 01",                                 // CA cut short
  };
  for (const char* row : rows) {
    SCOPED_TRACE(row);
    EXPECT_FALSE(DecodeNsp(Hex(row)));
  }
}

}  // namespace
}  // namespace decnet
