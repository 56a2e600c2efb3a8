// Sending a job's mail for other DECnet nodes by MAIL-11: recipients are grouped by
// the node they go to next, and one link per node carries the message to all of them.
// A recipient is recorded done only after that node's final success; a refusal goes
// into the error report with the peer's own text; whatever fails on the way (no
// DECnet, connect, link, protocol) leaves it deferred for the retry schedule.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decnet/address.h"
#include "job.h"
#include "mail11/sender.h"
#include "recipient.h"

namespace pellam::service {

inline constexpr uint8_t kMail11Object = 27;

// How long the sending side waits: for the connect's answer, for flow control on
// each record and for each status record. Taken from NetSendTimeout by default.
struct RemoteTimeouts {
  std::chrono::milliseconds connect{60000};
  mail11::SendTimeouts link;
};
RemoteTimeouts TimeoutsFor(const ServiceSettings& settings);

class RemoteDelivery {
 public:
  RemoteDelivery(Job& job, const RemoteTimeouts& timeouts) : job_(job), timeouts_(timeouts) {}

  // Takes recipient `index`, classified kRemote or kExternal as `r`, into the group
  // of its next node, or settles it at once: the result when it cannot go out by
  // this service now (no DECnet configuration, no sender links allowed, an unknown
  // node or gateway), nothing when it waits for Send.
  std::optional<RecipientResult> Plan(size_t index, const Recipient& r);

  // One recipient's result after Send. kServed: done in the journal; kReported: in
  // the job's failures; kDeferred with its reason; kAborted: the journal failed.
  struct Sent {
    size_t index;
    RecipientResult result;
  };

  // Sends to each node in turn, looking at `stop` before each. Returns false when a
  // stop (or a journal failure) left groups unsent; their recipients get no result
  // and stay as they were.
  bool Send(const std::atomic<bool>& stop, std::vector<Sent>* results);

 private:
  struct Group {
    std::string node;  // as the address wrote it, for the log
    decnet::NodeAddress address;
    std::vector<size_t> indexes;
    std::vector<std::string> records;  // what this node receives for each recipient
  };

  std::optional<RecipientResult> Queue(size_t index, const std::string& address, bool via_gateway);
  RecipientResult DeferAll(const std::string& node, const std::string& why);
  bool SendGroup(const Group& group, std::vector<Sent>* results);

  Job& job_;
  RemoteTimeouts timeouts_;
  std::vector<Group> groups_;
  std::vector<std::string> logged_;  // nodes whose settle-at-once cause is logged already
};

// The sender's record for a From address and its line: local node names dropped, a
// foreign address quoted, and the personal name (held to CheckPNameOut's rules) in
// double quotes after it, as VMS shows a sender. Empty address: the service's name.
std::string SenderRecord(const std::string& from_address, const std::string& from_line,
                         const std::string& local_node);

// The control file's text a line at a time, without line ends (CR LF or LF), straight
// from the bytes already read: only the line being sent is ever copied. `text` must
// outlive the source.
mail11::BodySource BodyLines(std::string_view text);

// A peer's refusal as it goes into the error report: its text records one a line,
// control characters but tab made blanks so that no record can break the report's
// lines, at most 4 KiB; without text, the node and the condition value.
std::string RefusalText(const std::string& node, const mail11::Status& status);

// A foreign address as a gateway node receives it: in double quotes, any quote inside
// doubled.
std::string QuoteForeign(const std::string& address);

}  // namespace pellam::service
