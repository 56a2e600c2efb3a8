// One control file while the service works on it, and what serving one of its
// recipients came to. Shared by the job and the recipients' handlers.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "compose/control_file_reader.h"
#include "delivered_message.h"
#include "event_log.h"
#include "job_state.h"
#include "message_info.h"
#include "pellam.h"

namespace decnet {
class Node;
}

namespace pellam::service {

// What the service read at start-up: the system profile, the local node name, and the
// DECnet end node that carries mail to other nodes (null: no DECnet configuration, so
// mail for other nodes waits in the queue). The node outlives every job.
struct ServiceSettings {
  MailSystemProfile system{};
  std::string node;
  decnet::Node* network = nullptr;
  // The sending side's network waits; zero means NetSendTimeout. Tests set it below
  // the profile's floor of 10 s.
  std::chrono::milliseconds send_timeout{0};
};

// A recipient that goes into this attempt's error report.
struct Failure {
  size_t index = 0;
  std::string reason;
  bool final = false;  // done even if the report cannot be posted
};

struct Job {
  const ServiceSettings& settings;
  const EventLog& log;
  std::string name;  // the control file's name in the queue ("snd1A3F.mai")
  std::string base;  // the name without its extension
  control::ControlFileContents contents;
  MessageInfo info;
  DeliveredMessage message;  // the file a local recipient receives
  JobState state;
  std::string reply_to;  // who hears of failures: the poster, or the From of the system's own mail
  bool reply_to_automatic = false;  // the system's own automatic mail: failures are only logged
  std::vector<Failure> failures;    // of this attempt, reported together at its end
};

enum class Outcome {
  kServed,    // delivered, forwarded or reported: recorded as done
  kDeferred,  // not now; tried again later, reported once the retry limit is reached
  kReported,  // failed: goes into this attempt's error report, then recorded as done
  kAborted,   // the journal could not be written: the job stops here for now
};

struct RecipientResult {
  Outcome outcome = Outcome::kServed;
  std::string reason;  // kDeferred: the text that a report would give
};

inline RecipientResult Served() { return {Outcome::kServed, {}}; }
inline RecipientResult Deferred(std::string reason) { return {Outcome::kDeferred, std::move(reason)}; }
inline RecipientResult Aborted() { return {Outcome::kAborted, {}}; }

// Puts recipient `index` into this attempt's error report with `reason`; the report
// goes at the end of the attempt and the recipient is then recorded as done. If the
// report cannot be posted the recipient is tried again later, unless `final`, when it
// is logged and counts as done all the same.
RecipientResult ReportBack(Job& job, size_t index, const std::string& reason, bool final);

// Records recipient `index` as done: Served, or Aborted when the journal fails.
RecipientResult RecordDone(Job& job, size_t index);

}  // namespace pellam::service
