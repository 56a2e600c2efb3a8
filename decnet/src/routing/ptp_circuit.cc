// Point-to-point start-up and hellos. A neighbour's Init while the adjacency runs means
// it restarted: the adjacency drops and the start-up is answered again at once.
#include "routing/ptp_circuit.h"

#include <algorithm>

namespace decnet {

namespace {
constexpr uint8_t kHelloByte = 0xaa;
constexpr size_t kHelloBytes = 10;
}  // namespace

PtpCircuit::PtpCircuit(DataLink& link, NspReceiver& receiver, PtpSettings settings)
    : Circuit(settings.self, link, receiver), settings_(std::move(settings)) {}

void PtpCircuit::OnLinkUp(TimePoint now) {
  if (state_ == State::kRunning) AdjacencyDown();
  SendInit();
  state_ = State::kWaitInit;
  start_deadline_ = now + settings_.hello_timer;
  next_hello_.reset();
  listen_deadline_.reset();
}

void PtpCircuit::OnLinkDown(TimePoint) {
  if (state_ == State::kRunning) AdjacencyDown();
  state_ = State::kLinkDown;
  start_deadline_.reset();
  next_hello_.reset();
  listen_deadline_.reset();
}

void PtpCircuit::SendInit() {
  PtpInit init;
  init.source = self_;
  init.node_type = NodeType::kEndNode;
  init.verification_requested = settings_.required_verification.has_value();
  init.block_size = settings_.block_size;
  init.hello_timer = static_cast<uint16_t>(std::chrono::duration_cast<seconds>(settings_.hello_timer).count());
  out_.clear();
  Encode(init, out_);
  Transmit(out_, MacAddress{});
}

void PtpCircuit::OnPacket(ByteSpan raw, const MacAddress&, TimePoint now) {
  CountReceived(raw);
  std::optional<ByteSpan> packet = StripPadding(raw);
  if (!packet) {
    ++counters_.malformed;
    return;
  }
  RoutingKind kind = ClassifyRoutingPacket(*packet);
  if (kind == RoutingKind::kUnknown) {
    ++counters_.malformed;
    return;
  }
  if (kind == RoutingKind::kPtpInit) {
    if (state_ == State::kLinkDown) return;
    if (state_ == State::kRunning) {
      AdjacencyDown();
      SendInit();
      state_ = State::kWaitInit;
    }
    OnInit(*packet, now);
    return;
  }
  switch (state_) {
    case State::kLinkDown:
    case State::kWaitInit:
      // Nothing but an Init means anything before the neighbour is known.
      return;
    case State::kWaitVerify: {
      if (kind != RoutingKind::kPtpVerify) return;
      std::optional<PtpVerify> verify = DecodePtpVerify(*packet);
      if (!verify) {
        ++counters_.malformed;
        return;
      }
      if (verify->source != neighbour_ || verify->function_value != *settings_.required_verification) {
        ++counters_.init_failures;
        Fail(now);
        return;
      }
      Run(now);
      return;
    }
    case State::kRunning:
      break;
  }
  switch (kind) {
    case RoutingKind::kPtpHello: {
      std::optional<PtpHello> hello = DecodePtpHello(*packet);
      bool good = hello && hello->source == neighbour_ &&
                  std::all_of(hello->test_data.begin(), hello->test_data.end(),
                              [](uint8_t b) { return b == kHelloByte; });
      if (!good) {
        ++counters_.malformed;
        return;
      }
      Alive(now);
      return;
    }
    case RoutingKind::kLevel1Routing:
    case RoutingKind::kLevel2Routing:
      // An end node has no use for routing messages, but a good one shows the
      // neighbour is alive.
      if (!DecodeRoutingMessage(*packet)) {
        ++counters_.malformed;
        return;
      }
      Alive(now);
      return;
    case RoutingKind::kShortData:
    case RoutingKind::kLongData: {
      DataHeader header;
      if (DeliverData(*packet, &header)) Alive(now);
      return;
    }
    case RoutingKind::kPtpVerify:
      return;  // a late or repeated Verify: harmless
    default:
      ++counters_.malformed;
      return;
  }
}

void PtpCircuit::OnInit(ByteSpan packet, TimePoint now) {
  std::optional<PtpInit> init = DecodePtpInit(packet);
  if (!init) {
    ++counters_.malformed;
    return;
  }
  // A Phase IV neighbour in our own area that does not ask for blocking; an end node
  // cannot be adjacent to anything else.
  bool usable = init->version.major == 2 && !init->blocking && init->source.valid() &&
                init->source.area() == self_.area() && init->source != self_ && init->block_size >= 64;
  if (!usable) {
    ++counters_.init_failures;
    Fail(now);
    return;
  }
  neighbour_ = init->source;
  neighbour_type_ = init->node_type;
  neighbour_block_size_ = init->block_size;
  Duration their_hello = init->hello_timer ? Duration(seconds(init->hello_timer)) : settings_.hello_timer;
  listen_time_ = std::chrono::duration_cast<Duration>(their_hello * 21 / 10);
  if (init->verification_requested) {
    PtpVerify verify{self_, settings_.verification};
    out_.clear();
    Encode(verify, out_);
    Transmit(out_, MacAddress{});
  }
  if (settings_.required_verification) {
    state_ = State::kWaitVerify;
    start_deadline_ = now + settings_.hello_timer;
    return;
  }
  Run(now);
}

void PtpCircuit::Run(TimePoint now) {
  state_ = State::kRunning;
  start_deadline_.reset();
  ++counters_.adjacency_ups;
  next_hello_ = now + settings_.hello_timer;
  listen_deadline_ = now + listen_time_;
}

void PtpCircuit::Alive(TimePoint now) { listen_deadline_ = now + listen_time_; }

void PtpCircuit::AdjacencyDown() {
  ++counters_.adjacency_downs;
  state_ = State::kWaitInit;
}

void PtpCircuit::Fail(TimePoint now) {
  if (state_ == State::kRunning) AdjacencyDown();
  state_ = State::kLinkDown;
  start_deadline_.reset();
  next_hello_.reset();
  listen_deadline_.reset();
  link_.Restart(now);
}

bool PtpCircuit::SendData(NodeAddress destination, ByteSpan nsp_message, bool return_to_sender) {
  if (state_ != State::kRunning) return false;
  DataHeader header;
  header.flags = return_to_sender ? kRqr : 0;
  header.destination = destination;
  header.source = self_;
  out_.clear();
  Encode(header, out_);
  out_.insert(out_.end(), nsp_message.begin(), nsp_message.end());
  return Transmit(out_, MacAddress{});
}

size_t PtpCircuit::max_nsp_message() const {
  size_t block = settings_.block_size;
  if (state_ == State::kRunning && neighbour_block_size_ != 0) block = std::min<size_t>(block, neighbour_block_size_);
  return block - kShortDataHeader;
}

std::optional<TimePoint> PtpCircuit::NextDeadline() const {
  return Earlier(start_deadline_, Earlier(next_hello_, listen_deadline_));
}

void PtpCircuit::Tick(TimePoint now) {
  if (start_deadline_ && *start_deadline_ <= now) {
    ++counters_.init_failures;
    Fail(now);
    return;
  }
  if (state_ != State::kRunning) return;
  if (listen_deadline_ && *listen_deadline_ <= now) {
    Fail(now);
    return;
  }
  if (next_hello_ && *next_hello_ <= now) {
    PtpHello hello{self_, Bytes(kHelloBytes, kHelloByte)};
    out_.clear();
    Encode(hello, out_);
    Transmit(out_, MacAddress{});
    next_hello_ = now + settings_.hello_timer;
  }
}

CircuitStatus PtpCircuit::Status() const {
  CircuitStatus status;
  status.state = state_ == State::kRunning ? "on" : state_ == State::kLinkDown ? "off" : "starting";
  if (state_ == State::kRunning) {
    status.adjacent = neighbour_;
    status.adjacent_type = NodeTypeText(neighbour_type_);
  }
  status.detail = link_.Describe();
  return status;
}

}  // namespace decnet
