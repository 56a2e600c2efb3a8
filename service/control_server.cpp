// Serving the control socket. The socket is 0666: every local user may show and loop,
// and nothing a request can say changes the configuration.
#include "control_server.h"

#include "pellam.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/local_socket.h"

namespace pellam::service {
namespace {

// Reads one request line; nullopt when none came in time or it was too long.
std::optional<std::string> ReadRequestLine(int fd) {
  std::string line;
  char buffer[ncp::kMaxRequest];
  while (line.size() < ncp::kMaxRequest) {
    size_t done = 0;
    if (!platform::ReceiveWithin(fd, buffer, sizeof buffer - line.size(), &done, ControlServer::kRequestWaitMs) ||
        done == 0) {
      return std::nullopt;
    }
    line.append(buffer, done);
    const size_t end = line.find('\n');
    if (end != std::string::npos) return line.substr(0, end);
  }
  return std::nullopt;
}

}  // namespace

bool ControlServer::Start(const std::string& directory) {
  path_ = directory + "/" + ncp::kSocketName;
  if (wake_.Create() != 0) {
    log_.Write(EVT_CALL_FAILED, "CreateEvent", "", "The DECnet control socket is not opened.");
    return false;
  }
  listener_ = platform::ListenLocalSocket(directory.c_str(), ncp::kSocketName, 0666);
  if (listener_ < 0) {
    log_.Write(EVT_CALL_FAILED, "ListenLocalSocket", "",
               StatusText(platform::GetLastError()) + " The DECnet control socket " + path_ +
                   " is not opened; pellncp cannot reach the service.");
    return false;
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void ControlServer::Stop() {
  stop_.store(true);
  if (wake_.IsCreated()) wake_.Set();
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard lock(clients_mutex_);
    for (Client& c : clients_) {
      if (c.fd >= 0) platform::EndConnection(c.fd);  // wakes a thread waiting on its client
    }
  }
  Reap(true);
  if (listener_ >= 0) {
    platform::CloseFile(listener_);
    listener_ = -1;
    platform::RemoveLocalSocket(path_.c_str());
  }
  wake_.Close();
}

void ControlServer::AcceptLoop() {
  while (!stop_.load()) {
    const int fd = platform::AcceptLocalClient(listener_, wake_.handle(), 1000);
    if (fd < 0) {
      const uint32_t code = platform::GetLastError();
      if (code == ERROR_OPERATION_ABORTED) return;
      // Out of descriptors, say: wait a moment rather than spin.
      if (code != ERROR_TIMEOUT) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      Reap(false);
      continue;
    }
    Reap(false);
    std::lock_guard lock(clients_mutex_);
    if (clients_.size() >= kMaxClients) {
      const std::string busy = std::string("error ") + ncp::kErrorBusy + " too many requests at once\n";
      platform::SendWithin(fd, busy.data(), busy.size(), 0);
      platform::CloseFile(fd);
      continue;
    }
    Client& client = clients_.emplace_back();
    client.fd = fd;
    client.thread = std::thread([this, &client] { Serve(client); });
  }
}

void ControlServer::Serve(Client& client) {
  const int fd = client.fd;
  const LineSink write = [fd](const std::string& line) {
    const std::string text = line + "\n";
    return platform::SendWithin(fd, text.data(), text.size(), kLineWaitMs);
  };
  if (const auto line = ReadRequestLine(fd)) {
    if (const auto request = ncp::ParseRequest(*line)) {
      handler_(*request, write);
    } else {
      write(std::string("error ") + ncp::kErrorBadRequest + " the request is not understood");
    }
  }
  std::lock_guard lock(clients_mutex_);
  platform::CloseFile(client.fd);
  client.fd = -1;
  client.done.store(true);
}

// Joins the threads of finished clients (of all of them with `all`).
void ControlServer::Reap(bool all) {
  std::list<Client> finished;
  {
    std::lock_guard lock(clients_mutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      auto next = std::next(it);
      if (all || it->done.load()) finished.splice(finished.end(), clients_, it);
      it = next;
    }
  }
  for (Client& c : finished) c.thread.join();
}

}  // namespace pellam::service
