// The service's event log: syslog entries with the catalogue's texts for the service's
// event codes, formatted with their inserts by GetErrorText. A test may route the
// entries to a recorder instead; the foreground program echoes them to stderr. Inside
// a sandbox (PELLAM_ROOT) the log is the sandbox's own file, never the machine's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pellam::service {

class EventLog {
 public:
  // Receives each entry: its event code and its text on one line.
  using Sink = std::function<void(uint32_t code, const std::string& text)>;

  // Entries go to syslog as "pellam", and to stderr as well with `echo`. Inside a
  // sandbox they are appended to <root>/var/log/pellam.log instead of syslog, one
  // "pellam[<pid>]: <text>" line each, as syslog would have them.
  static void OpenSyslog(bool echo);

  // With a sink, entries go there instead of syslog.
  explicit EventLog(Sink sink = {}) : sink_(std::move(sink)) {}

  // Logs `event` with inserts %1 and %2 and, as %3, the text of status `cause` (0: none).
  void Report(uint32_t event, const std::string& first, const std::string& second, uint32_t cause) const;

  // Logs `event` with three inserts given as text.
  void Write(uint32_t event, const std::string& first, const std::string& second,
             const std::string& third) const;

  // Logs a note of the service's own that no catalogue event describes (what its
  // housekeeping did), at the informational level; a sink receives it with code 0.
  void Note(const std::string& text) const;

 private:
  Sink sink_;
};

// The text of a status code with up to two inserts, without its final line end.
std::string StatusText(uint32_t code, const std::string& first = {}, const std::string& second = {});

}  // namespace pellam::service
