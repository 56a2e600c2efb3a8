// The receiving thread accepts and admits connects; each admitted one runs the MAIL-11
// conversation in a thread of its own, writing the text to a temporary file as it
// arrives and delivering it only once the end of the message is in.
#include "mail_receiver.h"

#include <cstdio>
#include <ctime>

#include "decnet/node.h"
#include "incoming_recipient.h"
#include "mail11/receiver.h"
#include "pellam.h"
#include "platform/errors.h"
#include "received_delivery.h"
#include "received_message.h"
#include "stoppable_link.h"

namespace pellam::service {
namespace {

constexpr uint8_t kMailObject = 27;
constexpr std::chrono::milliseconds kAcceptSlice{200};

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

const char* Describe(decnet::LinkError error) {
  switch (error) {
    case decnet::LinkError::kNone: return "no error";
    case decnet::LinkError::kTimeout: return "The peer went silent.";
    case decnet::LinkError::kRejected: return "The connect was rejected.";
    case decnet::LinkError::kDisconnected: return "The peer disconnected.";
    case decnet::LinkError::kUnreachable: return "The node is unreachable.";
    case decnet::LinkError::kNoResources: return "No resources.";
    case decnet::LinkError::kNotRunning: return "The DECnet node is not running.";
    case decnet::LinkError::kBadArgument: return "Bad argument.";
  }
  return "unknown";
}

}  // namespace

MailReceiver::Limits MailReceiver::LimitsOf(const MailSystemProfile& system) {
  Limits limits;
  limits.timeout = std::chrono::milliseconds(system.NetReceiveTimeout);
  limits.threads = system.ReceiveThreadLimit;
  return limits;
}

MailReceiver::MailReceiver(const ServiceSettings& settings, const EventLog& log, Limits limits)
    : settings_(settings), log_(log), limits_(limits) {}

void MailReceiver::Start() {
  if (settings_.network == nullptr || thread_.joinable()) return;
  stop_.store(false);
  thread_ = std::thread([this] { Run(); });
}

void MailReceiver::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_.store(true);
  }
  wake_.notify_all();
  thread_.join();
  log_.Write(EVT_RECEIVER_STOPPED, "", "", "");
}

void MailReceiver::Pause(std::chrono::milliseconds how_long) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, how_long, [this] { return stop_.load(); });
}

std::string MailReceiver::PeerName(decnet::NodeAddress address) const {
  if (const auto name = settings_.network->nodes().NameOf(address)) return *name;
  return decnet::FormatNodeAddress(address);
}

void MailReceiver::Run() {
  std::unique_ptr<decnet::Listener> listener;
  bool bind_reported = false;
  while (!stop_.load()) {
    if (!listener) {
      decnet::Outcome outcome;
      listener = settings_.network->Bind(kMailObject, "MAIL", &outcome);
      if (!listener) {
        // Once per spell of failures: a node that stays down must not flood the log.
        if (!bind_reported) log_.Write(EVT_BIND_FAILED, "", "", Describe(outcome.error));
        bind_reported = true;
        Pause(limits_.bind_retry);
        continue;
      }
      bind_reported = false;
      ready_.store(true);
      log_.Write(EVT_RECEIVER_READY, " " PELLAM_VERSION " on " + settings_.node, "", "");
    }
    decnet::Outcome outcome;
    std::unique_ptr<decnet::PendingConnect> pending = listener->Accept(kAcceptSlice, &outcome);
    Reap(false);
    if (pending) {
      Admit(std::move(pending));
    } else if (outcome.error != decnet::LinkError::kTimeout && outcome.error != decnet::LinkError::kNone) {
      log_.Write(EVT_ACCEPT_FAILED, "", "", Describe(outcome.error));
      listener.reset();
      ready_.store(false);
      Pause(limits_.bind_retry);
    }
  }
  listener.reset();
  ready_.store(false);
  Reap(true);
}

void MailReceiver::Admit(std::unique_ptr<decnet::PendingConnect> pending) {
  const std::string peer = PeerName(pending->remote());
  if (active_.load() >= limits_.threads) {
    mail11::RejectBusy(*pending);
    log_.Write(EVT_CONNECTION_REFUSED, "", "", "From " + peer + ": " + StatusText(ERR_RECEIVER_BUSY));
    return;
  }
  mail11::AcceptedConnect accepted = mail11::AnswerConnect(*pending);
  if (accepted.answer.refused_modes != 0) {
    log_.Write(EVT_MODES_REFUSED, peer, Hex(accepted.answer.refused_modes), "");
  }
  if (!accepted.link) {
    log_.Write(EVT_CONNECTION_REFUSED, "", "", "From " + peer + ": " + StatusText(accepted.answer.status));
    return;
  }
  ++active_;
  Conversation& slot = conversations_.emplace_back();
  slot.thread = std::thread([this, link = std::move(accepted.link), cc = accepted.answer.terms.cc, peer,
                             self = &slot]() mutable { Converse(std::move(link), cc, peer, self); });
}

void MailReceiver::Reap(bool all) {
  for (auto it = conversations_.begin(); it != conversations_.end();) {
    if (all || it->done.load()) {
      it->thread.join();
      it = conversations_.erase(it);
    } else {
      ++it;
    }
  }
}

void MailReceiver::Converse(std::unique_ptr<decnet::Link> raw, bool cc, const std::string& peer,
                            Conversation* self) {
  StoppableLink link(*raw, stop_);
  IncomingHeader header;
  bool have_sender = false;
  std::vector<IncomingRecipient> taken;
  ReceivedMessage message;
  bool finished = false;

  mail11::ReceiverCallbacks callbacks;
  callbacks.check = [&](const mail11::Envelope& envelope, std::string_view recipient) {
    if (!have_sender) {
      header = FromSenderRecord(peer, envelope.sender);
      have_sender = true;
    }
    IncomingRecipient verdict = CheckIncomingRecipient(settings_, recipient, RouteHops(header.route));
    if (verdict.kind == IncomingKind::kRefused) {
      log_.Write(EVT_ADDRESS_REFUSED, std::string(recipient), "",
                 "From " + header.route + ": " + (verdict.status.text.empty() ? "" : verdict.status.text[0]));
    } else {
      taken.push_back(verdict);
    }
    return verdict.status;
  };
  callbacks.begin_text = [&](const mail11::Envelope& envelope) {
    header.to = envelope.to;
    header.cc = envelope.cc;
    header.subject = envelope.subject;
    if (taken.empty()) return true;  // refused for everyone: the text is not kept
    const std::string directory = settings_.system.MailTempPath;
    if (const uint32_t code = message.Begin(directory, settings_.node, header, std::time(nullptr))) {
      log_.Report(EVT_TEMP_FILE, directory, "rcv", code);
      return false;
    }
    return true;
  };
  callbacks.body_line = [&](std::string_view line) {
    if (taken.empty()) return true;
    if (const uint32_t code = message.AddLine(line)) {
      log_.Report(EVT_FILE_WRITE, message.path(), "", code);
      return false;
    }
    return true;
  };
  callbacks.deliver = [&](const mail11::Envelope&, size_t index) -> mail11::Status {
    if (!finished) {
      if (const uint32_t code = message.Finish()) {
        // Not safe on disk: the peer must keep the message, so it gets no status at
        // all, and sends it again later.
        log_.Report(EVT_FILE_FLUSH, message.path(), "", code);
        link.Abort(decnet::kReasonAbort);
        return RefuseWith(code, StatusText(code));
      }
      finished = true;
    }
    // A stop must not turn into answers: a delivery cut short by it would read as a
    // failure, final for the sender. Unanswered, the sender tries again later.
    if (stop_.load()) {
      link.Abort(decnet::kReasonAbort);
      return RefuseWith(ERROR_OPERATION_ABORTED, StatusText(ERROR_OPERATION_ABORTED));
    }
    const mail11::Status status = DeliverReceived(settings_, log_, message, taken[index]);
    if (stop_.load() && !status.success()) link.Abort(decnet::kReasonAbort);
    return status;
  };

  const mail11::ReceiveResult result = mail11::ReceiveMessage(link, mail11::Terms{cc}, callbacks, limits_.timeout);
  if (result.protocol_error) {
    log_.Write(EVT_PROTOCOL_ERROR, peer, "", "");
  } else if (!result.complete && result.link_error != decnet::LinkError::kNone && !stop_.load()) {
    log_.Write(EVT_RECEIVE_ERROR, peer, "", result.reason);
  }
  message.Discard();
  raw.reset();
  --active_;
  self->done.store(true);
}

}  // namespace pellam::service
