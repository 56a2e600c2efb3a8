// How pellncp lays out the service's answers, in the manner of NCP's displays: a
// heading with the time, then "Label = value" lines. Fields the service sends that
// this version does not know are shown under their own key, not dropped.
#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace pellncp {

using Fields = std::vector<std::pair<std::string, std::string>>;  // key, value; in order

// "9-DEC-2026 13:41:02" in local time.
std::string DisplayTime(std::time_t when);

std::string ExecutorReport(const Fields& fields, const std::string& when);
std::string CircuitReport(const Fields& fields, const std::string& when);
// `nodes`: "area.node NAME" pairs as the service sends them.
std::string KnownNodesReport(const std::vector<std::pair<std::string, std::string>>& nodes, const std::string& when);

// The loop's summary line from the round-trip times (microseconds) of the answers.
std::string LoopSummary(const std::string& target, unsigned asked, const std::vector<long>& micros);

}  // namespace pellncp
