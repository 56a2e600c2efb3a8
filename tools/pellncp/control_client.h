// pellncp's side of the control socket: sends one request and hands each answer line
// on as it comes, so that a loop's round trips show while it runs. Every wait is
// bounded; a service that stops answering gives kNoAnswer, never a hang.
#pragma once

#include <functional>
#include <string>

#include "ncp_protocol.h"

namespace pellncp {

enum class ClientError {
  kNone,        // the last line was "ok" or "error ..."
  kNotRunning,  // no socket, or nobody listening on it
  kDenied,      // the socket is there but this user may not connect
  kNoAnswer,    // the service did not answer in time, or not in its own terms
};

// `on_line` receives every answer line, the final "ok" or "error" one included.
// `line_wait_ms` bounds the wait for each line.
ClientError Ask(const std::string& socket_path, const pellam::ncp::Request& request,
                const std::function<void(const pellam::ncp::ReplyLine&)>& on_line, int line_wait_ms);

}  // namespace pellncp
