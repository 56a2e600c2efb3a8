// Talking to the service through the platform layer's local sockets.
#include "control_client.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/local_socket.h"

namespace pellncp {

ClientError Ask(const std::string& socket_path, const pellam::ncp::Request& request,
                const std::function<void(const pellam::ncp::ReplyLine&)>& on_line, int line_wait_ms) {
  platform::UniqueFile socket(platform::ConnectLocalSocket(socket_path.c_str()));
  if (!socket) {
    const uint32_t code = platform::GetLastError();
    return code == ERROR_ACCESS_DENIED ? ClientError::kDenied : ClientError::kNotRunning;
  }
  const std::string line = pellam::ncp::FormatRequest(request) + "\n";
  // A service too busy to read the request has still written why: read on regardless.
  [[maybe_unused]] const bool sent = platform::SendWithin(socket.get(), line.data(), line.size(), line_wait_ms);
  std::string pending;
  char buffer[4096];
  for (;;) {
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      const pellam::ncp::ReplyLine reply = pellam::ncp::SplitReplyLine(std::string_view(pending).substr(0, end));
      pending.erase(0, end + 1);
      on_line(reply);
      if (reply.tag == "ok" || reply.tag == "error") return ClientError::kNone;
    }
    if (pending.size() > pellam::ncp::kMaxReplyLine) return ClientError::kNoAnswer;
    size_t done = 0;
    if (!platform::ReceiveWithin(socket.get(), buffer, sizeof buffer, &done, line_wait_ms) || done == 0) {
      return ClientError::kNoAnswer;
    }
    pending.append(buffer, done);
  }
}

}  // namespace pellncp
