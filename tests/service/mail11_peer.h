// A scripted MAIL-11 receiver bound to object 27 on a real end node: it confirms one
// connect with the data it is given, then plays its script over the link (records it
// expects from the sender, checked byte for byte; records it answers; a break; a
// silence), and keeps what it saw for the test. Every wait is bounded.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "decnet/node.h"

namespace pellam::test {

struct PeerStep {
  enum Kind {
    kExpect,     // the next record must be `bytes`
    kAnswer,     // send `bytes`
    kBody,       // take records up to the one-byte 00 end marker (kept in body())
    kBreak,      // abort the link
    kSilence,    // answer nothing; read whatever comes until the sender gives up
    kRun,        // call `run` (a test's hook between two records)
  };
  Kind kind;
  std::vector<uint8_t> bytes;
  std::function<void()> run;
};

class Mail11Peer {
 public:
  // Binds object 27 on `node` at once (the test fails if it cannot) and serves one
  // connect in the background.
  Mail11Peer(decnet::Node& node, decnet::Message confirm_data, std::vector<PeerStep> script);
  ~Mail11Peer();

  // Waits for the conversation to end: the script played and the link closed.
  void Finish();

  bool connected() const { return connected_; }
  const decnet::Message& connect_data() const { return connect_data_; }
  const decnet::EndUser& source() const { return source_; }
  const std::vector<std::string>& faults() const { return faults_; }
  const std::vector<std::string>& body() const { return body_; }
  // How the sender left: kDisconnected with reason 0 is an orderly end.
  const decnet::Outcome& end() const { return end_; }

 private:
  void Serve();
  bool Play(decnet::Link& link);

  std::unique_ptr<decnet::Listener> listener_;
  decnet::Message confirm_data_;
  std::vector<PeerStep> script_;
  std::thread thread_;
  bool connected_ = false;
  decnet::Message connect_data_;
  decnet::EndUser source_;
  std::vector<std::string> faults_;
  std::vector<std::string> body_;
  decnet::Outcome end_;
};

// The reported VMS conversation as this peer plays it: the sender's records expected,
// the receiver's answered.
std::vector<PeerStep> VmsPeerScript();

}  // namespace pellam::test
