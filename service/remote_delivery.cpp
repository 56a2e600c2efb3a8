// Node groups, one MAIL-11 link each. A recipient's final success is flushed to the
// journal as soon as its link has ended, before anything else is done, so that a
// crash can only send a message twice, never lose it. Causes that lie in this
// machine's configuration or the network never end a recipient: it stays queued.
#include "remote_delivery.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "decnet/node.h"
#include "error_report.h"
#include "mail11/address.h"
#include "mail11/options.h"
#include "pellam.h"

namespace pellam::service {
namespace {

using mail11::NextLine;

constexpr char kNoDecnet[] =
    "This node has no DECnet configuration; the message stays queued and is tried again later.";
constexpr char kNoSenderLinks[] =
    "SendThreadLimit is 0, so this service makes no mail-11 links; the message stays queued.";
// A peer's refusal is quoted into the error report; more than this is not text.
constexpr size_t kRefusalLimit = 4096;

// Socket codes of the catalogue say what happened to a link in words users know.
std::string LinkErrorText(const decnet::Outcome& outcome) {
  using decnet::LinkError;
  uint32_t code = 0;
  bool reason = false;
  switch (outcome.error) {
    case LinkError::kNone:
      return "The message text could not be read.";
    case LinkError::kTimeout:
      code = 10060;
      break;
    case LinkError::kRejected:
      code = 10061;
      reason = true;
      break;
    case LinkError::kDisconnected:
      code = 10054;
      reason = true;
      break;
    case LinkError::kUnreachable:
      code = 10065;
      break;
    case LinkError::kNoResources:
      code = 10055;
      break;
    case LinkError::kNotRunning:
      code = 10050;
      break;
    case LinkError::kBadArgument:
      code = 10022;
      break;
  }
  std::string text = StatusText(code);
  if (reason) text += " (DECnet reason " + std::to_string(outcome.reason) + ")";
  return text;
}

}  // namespace

mail11::BodySource BodyLines(std::string_view text) {
  return [text, at = size_t{0}](std::string& line) mutable {
    if (at >= text.size()) return NextLine::kEnd;
    size_t end = text.find('\n', at);
    size_t next = end + 1;
    if (end == std::string_view::npos) {
      end = next = text.size();
    } else if (end > at && text[end - 1] == '\r') {
      --end;
    }
    line.assign(text.substr(at, end - at));
    at = next;
    return NextLine::kLine;
  };
}

std::string RefusalText(const std::string& node, const mail11::Status& status) {
  std::string text;
  for (const std::string& record : status.text) {
    if (record.empty()) continue;
    if (!text.empty()) {
      if (text.size() + 2 >= kRefusalLimit) break;
      text += "\r\n";
    }
    for (char c : record.substr(0, kRefusalLimit - text.size())) {
      text += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c;
    }
  }
  if (text.empty()) {
    char condition[16];
    std::snprintf(condition, sizeof condition, "%08X", status.condition);
    text = "Node " + node + " refused the recipient (condition " + condition + ").";
  }
  return text;
}

namespace {

// EVT_PROTOCOL_ERROR's text has no place for a cause, so the cause goes beside the
// node's name; the other events carry it as their last line.
void LogFailure(const EventLog& log, uint32_t event, const std::string& node, const std::string& why) {
  if (event == EVT_PROTOCOL_ERROR) {
    log.Write(event, node + " (" + why + ")", "", "");
  } else {
    log.Write(event, node, "", why);
  }
}

// The values of From, To and Cc in the header section, continuation lines joined.
struct AddressLines {
  std::string from, to, cc;
};
AddressLines ReadAddressLines(std::string_view header) {
  static const char* const kNames[] = {"From", "To", "Cc"};
  char* values[3] = {};
  const char* text = header.data();
  int32_t length = static_cast<int32_t>(header.size());
  AddressLines lines;
  if (GetMailHeaders(&text, &length, 3, kNames, values) != 0) return lines;
  for (auto [value, line] : {std::pair{values[0], &lines.from}, {values[1], &lines.to}, {values[2], &lines.cc}}) {
    if (value != nullptr) *line = value;
  }
  FreeMailHeaders(3, values);
  return lines;
}

// The personal name in the comment after the From line's first address, normalised
// as names about to be sent are; "" when there is none or it breaks the rules.
std::string PersonalName(const std::string& from_line) {
  const char *start = nullptr, *end = nullptr, *next = nullptr;
  if (ScanAddr(from_line.c_str(), &start, &end, &next, 1) != 0 || *next != '(') return {};
  const char* close = ScanParentheses(next);
  if (close == nullptr) return {};
  std::string name(next + 1, close - 1);
  if (CheckPNameOut(name.data()) != 0) return {};
  name.resize(std::strlen(name.c_str()));
  return name;
}

// Who the source end user says we are: the sender's user name as VMS sends its own,
// letters and digits in capitals, never more than a format-1 name may hold.
std::string SourceName(const std::string& sender) {
  std::string user = sender.substr(sender.rfind("::") == std::string::npos ? 0 : sender.rfind("::") + 2);
  std::string name;
  for (char c : user) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '$' || c == '_') name += static_cast<char>(std::toupper(u));
    if (name.size() == 12) break;
  }
  return name.empty() ? std::string(kServiceSender) : name;
}

}  // namespace

RemoteTimeouts TimeoutsFor(const ServiceSettings& settings) {
  std::chrono::milliseconds wait = settings.send_timeout;
  if (wait.count() <= 0) wait = std::chrono::milliseconds(settings.system.NetSendTimeout);
  if (wait.count() <= 0) wait = std::chrono::milliseconds(60000);
  return {wait, {wait, wait}};
}

std::string QuoteForeign(const std::string& address) {
  std::string quoted = "\"";
  for (char c : address) {
    quoted += c;
    if (c == '"') quoted += c;
  }
  return quoted + "\"";
}

std::string SenderRecord(const std::string& from_address, const std::string& from_line,
                         const std::string& local_node) {
  std::string sender = from_address.empty() ? std::string(kServiceSender) : from_address;
  const char* rest = nullptr;
  int32_t rest_length = 0, kind = 0;
  if (CheckRemote(sender.c_str(), static_cast<int32_t>(sender.size()), &rest, &rest_length, local_node.c_str(),
                  &kind) == 0 &&
      rest_length > 0) {
    sender = std::string(rest, static_cast<size_t>(rest_length));
    if (kind == ADDR_EXTERNAL) sender = QuoteForeign(sender);
  }
  const std::string personal = PersonalName(from_line);
  return personal.empty() ? sender : sender + " \"" + personal + "\"";
}

RecipientResult RemoteDelivery::DeferAll(const std::string& node, const std::string& why) {
  if (std::find(logged_.begin(), logged_.end(), node) == logged_.end()) {
    logged_.push_back(node);
    job_.log.Write(EVT_CONNECT_FAILED, node, "", why);
  }
  return Deferred(StatusText(EVT_CONNECT_FAILED, node) + "\r\n" + why);
}

std::optional<RecipientResult> RemoteDelivery::Plan(size_t index, const Recipient& r) {
  if (r.kind == RecipientKind::kRemote) return Queue(index, r.user, false);
  std::string gateway = job_.settings.system.ExternalGateway;
  while (gateway.size() >= 2 && gateway.compare(gateway.size() - 2, 2, "::") == 0) gateway.resize(gateway.size() - 2);
  if (gateway.empty()) {
    job_.log.Report(EVT_CONNECT_FAILED, r.node, "", ERR_NO_GATEWAY);
    return Deferred(StatusText(ERR_NO_GATEWAY));
  }
  return Queue(index, gateway + "::" + QuoteForeign(r.user), true);
}

std::optional<RecipientResult> RemoteDelivery::Queue(size_t index, const std::string& address, bool via_gateway) {
  const std::optional<mail11::NextHop> hop = mail11::SplitFirstNode(address);
  if (!hop) {
    if (via_gateway) {
      job_.log.Report(EVT_CONNECT_FAILED, job_.settings.system.ExternalGateway, "", ERR_NO_GATEWAY);
      return Deferred(StatusText(ERR_NO_GATEWAY));
    }
    return ReportBack(job_, index, StatusText(ERR_ADDRESS_SYNTAX), true);
  }
  if (job_.settings.system.SendThreadLimit == 0) return DeferAll(hop->node, kNoSenderLinks);
  if (job_.settings.network == nullptr) return DeferAll(hop->node, kNoDecnet);
  std::optional<decnet::NodeAddress> at = job_.settings.network->nodes().Find(hop->node);
  if (!at) at = decnet::ParseNodeAddress(hop->node);  // "1.2::USER", as VMS allows
  if (!at) {
    const std::string why = "The node name " + hop->node + " is not in this node's DECnet node database.";
    if (via_gateway) {
      job_.log.Write(EVT_CONNECT_FAILED, hop->node, "", StatusText(ERR_NO_GATEWAY) + " " + why);
      return Deferred(StatusText(ERR_NO_GATEWAY) + "\r\n" + why);
    }
    return ReportBack(job_, index, StatusText(ERR_NO_SUCH_NODE) + "\r\n" + why, true);
  }
  auto group = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return g.address == *at; });
  if (group == groups_.end()) group = groups_.insert(groups_.end(), Group{hop->node, *at, {}, {}});
  group->indexes.push_back(index);
  group->records.push_back(hop->rest);
  return std::nullopt;
}

bool RemoteDelivery::Send(const std::atomic<bool>& stop, std::vector<Sent>* results) {
  for (const Group& group : groups_) {
    if (stop.load() || !SendGroup(group, results)) return false;
  }
  return true;
}

bool RemoteDelivery::SendGroup(const Group& group, std::vector<Sent>* results) {
  const auto defer_all = [&](uint32_t event, const std::string& why) {
    LogFailure(job_.log, event, group.node, why);
    const std::string reason = StatusText(event, group.node) + "\r\n" + why;
    for (size_t index : group.indexes) results->push_back({index, Deferred(reason)});
    return true;
  };
  decnet::ConnectRequest request;
  request.node = group.address;
  request.destination.object = kMail11Object;
  request.source.format = 1;
  request.source.name = SourceName(job_.info.sender);
  const mail11::OptionBlock proposal = mail11::SenderProposal();
  request.user_data = mail11::EncodeOptions(proposal);
  decnet::Outcome outcome;
  const std::unique_ptr<decnet::Link> link = job_.settings.network->Connect(request, timeouts_.connect, &outcome);
  if (!link) return defer_all(EVT_CONNECT_FAILED, LinkErrorText(outcome));
  // A peer whose answer we cannot speak to may be set up differently tomorrow: its
  // recipients wait, and the retry limit reports them in the end.
  const mail11::AnswerCheck answer = mail11::CheckAnswer(proposal, link->accept_data());
  if (answer.status != 0) {
    link->Disconnect();
    return defer_all(EVT_PROTOCOL_ERROR, StatusText(answer.status));
  }

  const AddressLines lines = ReadAddressLines(job_.contents.header());
  mail11::OutgoingMessage message;
  message.sender = SenderRecord(job_.info.sender, lines.from, job_.settings.node);
  message.recipients = group.records;
  message.to = lines.to;
  message.cc = lines.cc;
  message.subject = job_.info.subject;
  message.body = BodyLines(job_.contents.text());
  const std::vector<mail11::RecipientResult> sent = mail11::SendMessage(*link, answer.terms, message, timeouts_.link);

  // The successes first, in one flush: the peer holds the message now.
  std::vector<size_t> done;
  for (size_t k = 0; k < sent.size(); ++k) {
    if (sent[k].kind == mail11::RecipientResult::Kind::kDelivered) done.push_back(group.indexes[k]);
  }
  if (!done.empty()) {
    if (const uint32_t code = job_.state.Record(done, Step::kDone)) {
      job_.log.Report(EVT_FILE_WRITE, JournalName(job_.name), "", code);
      for (size_t index : done) results->push_back({index, Aborted()});
      return false;
    }
    for (size_t index : done) results->push_back({index, Served()});
  }
  std::string deferred_reason;
  for (size_t k = 0; k < sent.size(); ++k) {
    const size_t index = group.indexes[k];
    switch (sent[k].kind) {
      case mail11::RecipientResult::Kind::kDelivered:
        break;
      case mail11::RecipientResult::Kind::kRefused:
        results->push_back({index, ReportBack(job_, index, RefusalText(group.node, sent[k].status), true)});
        break;
      case mail11::RecipientResult::Kind::kDeferred:
        if (deferred_reason.empty()) {
          const uint32_t event = sent[k].protocol_error ? EVT_PROTOCOL_ERROR : EVT_SEND_ERROR;
          const std::string why = sent[k].protocol_error ? std::string("The peer broke the mail-11 record sequence.")
                                                         : LinkErrorText({sent[k].link_error, 0, {}});
          LogFailure(job_.log, event, group.node, why);
          deferred_reason = StatusText(event, group.node) + "\r\n" + why;
        }
        results->push_back({index, Deferred(deferred_reason)});
        break;
    }
  }
  return true;
}

}  // namespace pellam::service
