// The blocking session-control API the service's threads use. Every call posts its
// work to the node's network thread and waits for the answer; a Link or Listener is
// used by one thread at a time, and several threads may use different ones at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "decnet/address.h"
#include "decnet/export.h"

namespace decnet {

using Message = std::vector<uint8_t>;

// Session control end user, formats 0, 1 and 2.
struct EndUser {
  uint8_t format = 0;     // 0: object number only; 1: object 0 and a name; 2: with UIC
  uint8_t object = 0;
  uint16_t group = 0, user = 0;  // format 2
  std::string name;       // formats 1 and 2, at most 16 characters
};

struct AccessControl {
  std::string user, password, account;  // at most 39 characters each
};

// Session-control reject and disconnect reasons.
enum Reason : uint16_t {
  kReasonNormal = 0,         // normal disconnect, or rejected by the object
  kReasonResources = 1,
  kReasonUnknownNode = 2,
  kReasonNoSuchObject = 4,
  kReasonBadFormat = 5,
  kReasonAbort = 9,
  kReasonAccessRejected = 34,
  kReasonBadAccount = 36,
  kReasonObjectFailed = 38,
  kReasonUnreachable = 39,
  kReasonAccessTooLong = 43,
};

// Why a call did not do what was asked.
enum class LinkError {
  kNone,
  kTimeout,       // nothing within the caller's time
  kRejected,      // the peer refused the connect; `reason` says why
  kDisconnected,  // the peer disconnected or aborted; `reason` says why
  kUnreachable,   // no route, no adjacency, or retransmissions ran out
  kNoResources,   // connection limit, or the peer had no resources
  kNotRunning,    // the node is stopped or not configured
  kBadArgument,   // a field beyond its limit, an unknown node name
};

struct Outcome {
  LinkError error = LinkError::kNone;
  uint16_t reason = 0;   // kRejected / kDisconnected: the peer's reason
  Message data;          // reject or disconnect data from the peer, if any
  explicit operator bool() const { return error == LinkError::kNone; }
};

class DECNET_API Link {
 public:
  virtual ~Link() = default;
  // Sends one whole message (record); it may be empty. Blocks while flow control
  // holds it back, at most `timeout`.
  virtual Outcome Send(const Message& message, std::chrono::milliseconds timeout) = 0;
  // Receives the next whole message.
  virtual Outcome Receive(Message& message, std::chrono::milliseconds timeout) = 0;
  // An orderly disconnect: queued data goes first. Then the link is closed.
  virtual void Disconnect(uint16_t reason = kReasonNormal, const Message& data = {}) = 0;
  // Drops the link at once (disconnect with reason, queued data discarded).
  virtual void Abort(uint16_t reason = kReasonAbort) = 0;
  virtual NodeAddress remote() const = 0;
  virtual const Message& accept_data() const = 0;  // the peer's confirm data (outgoing links)
};

struct ConnectRequest {
  NodeAddress node;                // destination node
  EndUser destination;
  EndUser source;                  // who we are (format 1 name, usually)
  std::optional<AccessControl> access;
  Message user_data;               // at most 16 bytes
};

// An incoming connect, held until the listener's owner confirms or rejects it.
class DECNET_API PendingConnect {
 public:
  virtual ~PendingConnect() = default;
  virtual NodeAddress remote() const = 0;
  virtual const EndUser& source() const = 0;        // the caller's end user
  virtual const EndUser& destination() const = 0;
  virtual const std::optional<AccessControl>& access() const = 0;
  virtual const Message& user_data() const = 0;
  virtual std::unique_ptr<Link> Confirm(const Message& accept_data = {}) = 0;
  virtual void Reject(uint16_t reason, const Message& data = {}) = 0;
};

class DECNET_API Listener {
 public:
  virtual ~Listener() = default;  // unbinds; connects still pending are rejected
  virtual std::unique_ptr<PendingConnect> Accept(std::chrono::milliseconds timeout, Outcome* outcome = nullptr) = 0;
};

}  // namespace decnet
