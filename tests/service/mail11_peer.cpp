// The peer's thread: one connect, the script, then a bounded wait for the sender to
// leave. A mismatch is recorded as a fault and ends the conversation by abort, as a
// confused receiver would.
#include "mail11_peer.h"

#include <gtest/gtest.h>

#include "mail11/vms_stream.h"

namespace pellam::test {
namespace {

using namespace std::chrono_literals;
constexpr auto kWait = 10s;

}  // namespace

std::vector<PeerStep> VmsPeerScript() {
  std::vector<PeerStep> steps;
  for (const auto& record : mail11::test::VmsConversation()) {
    steps.push_back({record.from_sender ? PeerStep::kExpect : PeerStep::kAnswer, record.bytes, {}});
  }
  return steps;
}

Mail11Peer::Mail11Peer(decnet::Node& node, decnet::Message confirm_data, std::vector<PeerStep> script)
    : confirm_data_(std::move(confirm_data)), script_(std::move(script)) {
  decnet::Outcome outcome;
  listener_ = node.Bind(27, "MAIL", &outcome);
  EXPECT_NE(listener_, nullptr) << "object 27 could not be bound";
  if (listener_) thread_ = std::thread([this] { Serve(); });
}

Mail11Peer::~Mail11Peer() { Finish(); }

void Mail11Peer::Finish() {
  if (thread_.joinable()) thread_.join();
  listener_.reset();
}

void Mail11Peer::Serve() {
  std::unique_ptr<decnet::PendingConnect> pending = listener_->Accept(kWait);
  if (!pending) return;
  connected_ = true;
  connect_data_ = pending->user_data();
  source_ = pending->source();
  std::unique_ptr<decnet::Link> link = pending->Confirm(confirm_data_);
  if (!link) {
    faults_.push_back("the confirm failed");
    return;
  }
  if (!Play(*link)) return;
  // The sender ends the link; anything it still sends is out of the script.
  decnet::Message extra;
  end_ = link->Receive(extra, kWait);
  if (end_) faults_.push_back("an extra record after the script: " + mail11::test::Show(extra));
}

bool Mail11Peer::Play(decnet::Link& link) {
  for (const PeerStep& step : script_) {
    decnet::Message record;
    switch (step.kind) {
      case PeerStep::kExpect:
        if (!(end_ = link.Receive(record, kWait))) {
          faults_.push_back("the link ended while " + mail11::test::Show(step.bytes) + " was expected");
          return false;
        }
        if (record != step.bytes) {
          faults_.push_back("expected " + mail11::test::Show(step.bytes) + ", got " + mail11::test::Show(record));
          link.Abort();
          return false;
        }
        break;
      case PeerStep::kAnswer:
        if (!link.Send(step.bytes, kWait)) {
          faults_.push_back("could not answer " + mail11::test::Show(step.bytes));
          return false;
        }
        break;
      case PeerStep::kBody:
        for (;;) {
          if (!(end_ = link.Receive(record, kWait))) {
            faults_.push_back("the link ended inside the body");
            return false;
          }
          if (record.size() == 1 && record[0] == 0) break;
          body_.emplace_back(record.begin(), record.end());
        }
        break;
      case PeerStep::kRun:
        step.run();
        break;
      case PeerStep::kBreak:
        link.Abort();
        return false;
      case PeerStep::kSilence:
        while ((end_ = link.Receive(record, kWait))) {
        }
        return false;
    }
  }
  return true;
}

}  // namespace pellam::test
