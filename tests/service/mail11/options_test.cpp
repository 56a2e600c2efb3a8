// The option block and its negotiation: the reported VMS blocks, blocks of the wrong
// size, the sender's check of every kind of answer and the receiver's preset answer,
// through a pending connect as the listener hands it over.
#include <gtest/gtest.h>

#include "mail11/options.h"
#include "mail11/receiver.h"
#include "pellam_status.h"
#include "vms_stream.h"

namespace pellam::mail11::test {
namespace {

TEST(Mail11Options, VmsBlocksDecodeAndEncodeAgain) {
  for (const decnet::Message& data : {kVmsConnectData, kVmsConfirmData}) {
    const auto block = DecodeOptions(data);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->version, 3);
    EXPECT_EQ(block->eco, 1);
    EXPECT_EQ(block->operating_system, 7);
    EXPECT_EQ(block->record_format, 2);
    EXPECT_EQ(block->record_attributes, 2);
    EXPECT_EQ(EncodeOptions(*block), data);
  }
  EXPECT_EQ(DecodeOptions(kVmsConnectData)->modes, kWantCc);
  EXPECT_EQ(DecodeOptions(Hex("03 00 00 12 01 02 03 04 a0 02 00 00 01 00 00 00"))->options, 0x04030201u);
  EXPECT_EQ(DecodeOptions(Hex("03 00 00 12 00 00 00 00 a0 02 00 00 01 00 00 00"))->modes, 0x2a0u);
}

TEST(Mail11Options, BlocksOfTheWrongSizeAreRefused) {
  for (size_t size : {0, 1, 15, 17, 32}) {
    EXPECT_FALSE(DecodeOptions(decnet::Message(size, 3))) << size;
  }
}

TEST(Mail11Options, OurProposalIsVmsLikeAndWantsCc) {
  decnet::Message expected = kVmsConnectData;
  expected[3] = 18;  // our operating system code
  EXPECT_EQ(EncodeOptions(SenderProposal()), expected);
}

TEST(Mail11Options, SenderChecksTheAnswer) {
  struct Row {
    const char* what;
    uint32_t proposed;
    decnet::Message answer;
    uint32_t status;
    bool cc;
  };
  const Row rows[] = {
      {"VMS accepts CC", kWantCc, kVmsConfirmData, 0, true},
      {"no confirm data: old form", kWantCc, {}, 0, false},
      {"CC not granted", kWantCc, Hex("03 01 00 07 00 00 00 00 00 00 00 00 02 02 00 00"), 0, false},
      {"our want echoed, nothing granted", kWantCc, Hex("03 01 00 07 00 00 00 00 10 00 00 00 02 02 00 00"), 0,
       false},
      {"ID and FOR granted unasked", kWantCc, Hex("03 01 00 12 00 00 00 00 a0 02 00 00 01 00 00 00"),
       ERR_OPTION_NOT_PROPOSED, false},
      {"CC granted unasked", 0, kVmsConfirmData, ERR_OPTION_NOT_PROPOSED, false},
      {"unknown bit", kWantCc, Hex("03 01 00 07 00 00 00 00 20 04 00 00 02 02 00 00"), ERR_OPTION_NOT_PROPOSED,
       false},
      {"version 2", kWantCc, Hex("02 01 00 07 00 00 00 00 20 00 00 00 02 02 00 00"), ERR_PROTOCOL_VERSION,
       false},
      {"short block", kWantCc, Hex("03 01 00 07 00 00 00 00 20 00 00 00 02 02 00"), ERR_PROTOCOL_VERSION, false},
      {"long block", kWantCc, Hex("03 01 00 07 00 00 00 00 20 00 00 00 02 02 00 00 00"), ERR_PROTOCOL_VERSION,
       false},
      {"block mode granted as asked, but unusable", kWantCc | kWantBlock,
       Hex("03 01 00 07 00 00 00 00 22 00 00 00 02 02 00 00"), ERR_PROTOCOL_MODE, false},
  };
  for (const Row& row : rows) {
    OptionBlock proposal = SenderProposal();
    proposal.modes = row.proposed;
    const AnswerCheck check = CheckAnswer(proposal, row.answer);
    EXPECT_EQ(check.status, row.status) << row.what;
    EXPECT_EQ(check.terms.cc, row.cc) << row.what;
  }
}

TEST(Mail11Options, ReceiverAnswersWithItsPreset) {
  struct Row {
    const char* what;
    decnet::Message proposal;
    bool confirm;
    uint32_t status, granted, refused;
    bool has_data;
  };
  const Row rows[] = {
      {"VMS wants CC", kVmsConnectData, true, 0, kAcceptCc, 0, true},
      {"no connect data", {}, true, 0, 0, 0, false},
      {"wants nothing", Hex("03 00 00 12 00 00 00 00 00 00 00 00 02 02 00 00"), true, 0, 0, 0, true},
      {"insists on block, ID and FOR", Hex("03 00 00 12 00 00 00 00 51 01 00 00 01 00 00 00"), true, 0, kAcceptCc,
       kWantBlock | kWantId | kWantForeign, true},
      {"claims accept bits", Hex("03 00 00 12 00 00 00 00 32 00 00 00 02 02 00 00"), true, 0, kAcceptCc,
       kAcceptBlock | kAcceptCc, true},
      {"version 4", Hex("04 00 00 12 00 00 00 00 10 00 00 00 02 02 00 00"), false, ERR_PROTOCOL_VERSION, 0, 0,
       false},
      {"short block", Hex("03 00 00 12"), false, ERR_PROTOCOL_VERSION, 0, 0, false},
  };
  for (const Row& row : rows) {
    const ConnectAnswer answer = AnswerProposal(row.proposal);
    EXPECT_EQ(answer.confirm, row.confirm) << row.what;
    EXPECT_EQ(answer.status, row.status) << row.what;
    EXPECT_EQ(answer.refused_modes, row.refused) << row.what;
    EXPECT_EQ(answer.terms.cc, row.granted == kAcceptCc) << row.what;
    EXPECT_EQ(!answer.accept_data.empty(), row.has_data) << row.what;
    if (!row.has_data) continue;
    // Whatever we answer must pass a strict sender's check of its own proposal.
    const auto proposal = DecodeOptions(row.proposal);
    ASSERT_TRUE(proposal);
    const auto answer_block = DecodeOptions(answer.accept_data);
    ASSERT_TRUE(answer_block) << row.what;
    EXPECT_EQ(answer_block->modes, row.granted) << row.what;
    EXPECT_EQ(CheckAnswer(*proposal, answer.accept_data).status, 0u) << row.what;
  }
}

class FakePendingConnect : public decnet::PendingConnect {
 public:
  explicit FakePendingConnect(decnet::Message data) : data_(std::move(data)) {}
  decnet::NodeAddress remote() const override { return decnet::NodeAddress::Of(1, 2); }
  const decnet::EndUser& source() const override { return user_; }
  const decnet::EndUser& destination() const override { return user_; }
  const std::optional<decnet::AccessControl>& access() const override { return access_; }
  const decnet::Message& user_data() const override { return data_; }
  std::unique_ptr<decnet::Link> Confirm(const decnet::Message& accept_data) override {
    confirmed_with = accept_data;
    return std::make_unique<ScriptedLink>(std::vector<Step>{});
  }
  void Reject(uint16_t reason, const decnet::Message&) override { rejected_with = reason; }
  std::optional<decnet::Message> confirmed_with;
  std::optional<uint16_t> rejected_with;

 private:
  decnet::Message data_;
  decnet::EndUser user_;
  std::optional<decnet::AccessControl> access_;
};

TEST(Mail11Options, AConnectIsConfirmedWithThePresetOrRejected) {
  FakePendingConnect vms(kVmsConnectData);
  const AcceptedConnect accepted = AnswerConnect(vms);
  ASSERT_TRUE(accepted.link);
  ASSERT_TRUE(vms.confirmed_with);
  EXPECT_EQ(DecodeOptions(*vms.confirmed_with)->modes, kAcceptCc);
  EXPECT_FALSE(vms.rejected_with);

  FakePendingConnect odd(Hex("07 00 00 12"));
  const AcceptedConnect refused = AnswerConnect(odd);
  EXPECT_FALSE(refused.link);
  EXPECT_FALSE(odd.confirmed_with);
  EXPECT_EQ(odd.rejected_with, decnet::kReasonNormal);
  EXPECT_EQ(refused.answer.status, ERR_PROTOCOL_VERSION);

  FakePendingConnect busy(kVmsConnectData);
  RejectBusy(busy);
  EXPECT_FALSE(busy.confirmed_with);
  EXPECT_EQ(busy.rejected_with, decnet::kReasonResources);
}

}  // namespace
}  // namespace pellam::mail11::test
