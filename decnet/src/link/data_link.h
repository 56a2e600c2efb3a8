// What the routing layer asks of a circuit's data link, and what a link reports back.
// A link carries routing packets with its own framing removed; it reconnects by itself
// where its medium allows. Everything runs on the network thread; `now` comes from
// the caller so that tests can drive links and routing with a fake clock.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "core/bytes.h"
#include "core/clock.h"
#include "link/mac_address.h"

namespace decnet {

class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  // A point-to-point link is connected (a LAN link is up once started).
  virtual void OnLinkUp(TimePoint now) = 0;
  virtual void OnLinkDown(TimePoint now) = 0;
  // One routing packet; `source` is the sender's station address on a LAN, zero on a
  // point-to-point link. The span lives only for the call.
  virtual void OnPacket(ByteSpan packet, const MacAddress& source, TimePoint now) = 0;
  // A frame the link could not take apart (and dropped).
  virtual void OnMalformedFrame() = 0;
};

class DataLink {
 public:
  virtual ~DataLink() = default;
  virtual bool is_lan() const = 0;
  // Opens the link. False with `error` set when it can never work as configured
  // (no privilege, no such interface, a port that cannot be bound); a peer that is not
  // there yet is not an error: the link keeps trying.
  virtual bool Start(LinkObserver& observer, TimePoint now, std::string* error) = 0;
  virtual void Stop() = 0;
  // Sends one routing packet to `destination` (ignored on point-to-point links).
  // False when the link is down or its queue is full: the packet is lost.
  virtual bool Send(ByteSpan packet, const MacAddress& destination) = 0;
  // The routing layer gave up on the adjacency: a connected link drops its connection
  // and connects again, so that the peer sees a restart too.
  virtual void Restart(TimePoint now) = 0;
  virtual std::optional<TimePoint> NextDeadline() const = 0;
  virtual void Tick(TimePoint now) = 0;
  // For "show circuit": the peer or interface and the link's state in a few words.
  virtual std::string Describe() const = 0;
};

}  // namespace decnet
