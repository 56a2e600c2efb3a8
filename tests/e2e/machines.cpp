// The machines of the end-to-end tests. The registry is written with pellreg import,
// as an administrator would; users are registered and mail is posted in children
// that take the user's identity, so the service sees exactly what a real user leaves.
#include "machines.h"

#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "pellam.h"

namespace pellam::e2e {
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

std::string Hex(uint32_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", n);
  return text;
}

// In a forked child: this machine's root, and the user's identity when asked for.
bool BecomeUser(const std::string& root, uid_t uid) {
  ::setenv("PELLAM_ROOT", root.c_str(), 1);
  ::unsetenv("JOURNAL_STREAM");
  if (uid == 0) return true;
  return ::setgroups(0, nullptr) == 0 && ::setgid(uid) == 0 && ::setuid(uid) == 0;
}

// Runs `body` in a child as `uid` with `root`; the child's exit code.
int RunAs(const std::string& root, uid_t uid, const std::function<int()>& body, milliseconds limit) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(BecomeUser(root, uid) ? body() : 125);
  if (pid < 0) return -1;
  return WaitProcess(pid, limit);
}

}  // namespace

uint16_t FreePort(int type) {
  const int s = ::socket(AF_INET, type, 0);
  if (s < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0;
  ::close(s);
  return ok ? ntohs(a.sin_port) : 0;
}

bool WaitUntil(const std::function<bool()>& condition, milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() >= end) return condition();
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

const std::vector<NodeName>& TestNodes() {
  static const std::vector<NodeName> nodes{{"ALPHA", "1.1"}, {"BRAVO", "1.2"}, {"CHARLY", "1.3"}};
  return nodes;
}

std::string HeaderOf(const std::string& message, const char* name) {
  const char* names[] = {name};
  char* values[1] = {};
  const char* text = message.data();
  int32_t length = static_cast<int32_t>(message.size());
  if (GetMailHeaders(&text, &length, 1, names, values) != 0 || values[0] == nullptr) return {};
  std::string value = values[0];
  FreeMailHeaders(1, values);
  return value;
}

std::string TextOf(const std::string& message) {
  const size_t end = message.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : message.substr(end + 4);
}

std::string CatalogueText(uint32_t code) {
  char buffer[512];
  std::string text = GetErrorText(code, buffer, sizeof buffer, nullptr);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

pid_t StartProcess(const std::string& root, const std::string& program, const std::vector<std::string>& args,
                   const std::string& output, uid_t uid) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0) ::_exit(126);
    if (!BecomeUser(root, uid)) ::_exit(125);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

int WaitProcess(pid_t pid, milliseconds limit) {
  if (pid <= 0) return -1;
  int status = 0;
  const auto end = Clock::now() + limit;
  pid_t got;
  while ((got = ::waitpid(pid, &status, WNOHANG)) == 0) {
    if (Clock::now() >= end) {
      ::kill(pid, SIGKILL);
      got = ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  if (got != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Machine::PellamPath() { return PELLAM_SERVICE_BINARY; }
std::string Machine::PellncpPath() { return PELLNCP_PATH; }
std::string Machine::PellpostPath() { return PELLPOST_PATH; }
std::string Machine::PellregPath() { return PELLREG_PATH; }

Machine::Machine(MachinePlan plan) : plan_(std::move(plan)) {
  std::string tmpl = (fs::temp_directory_path() / "pellam-e2e-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) {
    error_ = "mkdtemp failed";
    return;
  }
  root_ = tmpl;
  // The users' deliveries run with their own ids and must reach their homes.
  ::chmod(root_.c_str(), 0755);
  std::error_code ec;
  for (const char* dir : {"etc", "queue", "temp"}) fs::create_directories(Path(dir), ec);
  // As setup leaves them: every user posts, none removes another's files.
  for (const char* dir : {"queue", "temp"}) ::chmod(Path(dir).c_str(), 01777);
  WriteFile(Path("etc/passwd"), "");

  std::string reg =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam]\n"
      "\"MailQueuePath\"=\"" + Path("queue/") + "\"\n"
      "\"MailTempPath\"=\"" + Path("temp/") + "\"\n";
  for (const auto& [value, number] : plan_.system_numbers) reg += "\"" + value + "\"=dword:" + Hex(number) + "\n";
  reg += "\n[HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam\\DECnet]\n"
         "\"Address\"=\"" + plan_.node.address + "\"\n"
         "\"Name\"=\"" + plan_.node.name + "\"\n"
         "\"Circuit\"=\"" + plan_.circuit + "\"\n"
         "\"RemoteHost\"=\"127.0.0.1\"\n"
         "\"LocalHost\"=\"127.0.0.1\"\n"
         "\"RemotePort\"=dword:" + Hex(plan_.remote_port) + "\n"
         "\"LocalPort\"=dword:" + Hex(plan_.local_port) + "\n\n"
         "[HKEY_LOCAL_MACHINE\\Software\\Corwent\\Pellam\\DECnet\\Nodes]\n";
  for (const NodeName& n : TestNodes()) reg += "\"" + n.name + "\"=\"" + n.address + "\"\n";
  const std::string reg_file = Path("machine.reg");
  WriteFile(reg_file, reg);
  const RunResult imported = Run(PellregPath(), {"import", reg_file});
  if (imported.status != 0) error_ = "pellreg import: " + imported.output;
}

Machine::~Machine() {
  StopService(std::chrono::seconds(10));
  // PELLAM_E2E_KEEP=1 keeps the machine's files (logs, queue, folders) to look at.
  const char* keep = std::getenv("PELLAM_E2E_KEEP");
  if (keep != nullptr && std::string(keep) == "1") {
    std::fprintf(stderr, "kept %s in %s\n", name().c_str(), root_.c_str());
  } else if (!root_.empty()) {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
}

bool Machine::AddUser(const std::string& name, uid_t uid, const std::string& full_name) {
  {
    std::ofstream out(Path("etc/passwd"), std::ios::app);
    out << name << ":x:" << uid << ":" << uid << ":" << full_name << ",,,:/home/" << name << ":/bin/sh\n";
  }
  std::error_code ec;
  fs::create_directories(Path("home/" + name), ec);
  if (ec || ::chown(Path("home/" + name).c_str(), uid, uid) != 0) return false;
  users_.emplace_back(name, uid);
  return RunAs(
             root_, uid,
             [] {
               MailProfile p{};
               return GetMailProfile(&p, sizeof p) == 0 ? 0 : 1;
             },
             std::chrono::seconds(30)) == 0;
}

uid_t Machine::UidOf(const std::string& user) const {
  for (const auto& [n, uid] : users_) {
    if (n == user) return uid;
  }
  return 0;
}

void Machine::StartService() {
  if (service_ > 0) return;
  service_ = StartProcess(root_, PellamPath(), {"--foreground"}, Path("service.log"));
  ++starts_;
}

bool Machine::WaitUntilReceiving(milliseconds limit) const {
  const std::string ready = "receiver ready for incoming";
  const auto end = Clock::now() + limit;
  while (true) {
    const std::string log = ReadFile(Path("service.log"));
    size_t seen = 0;
    for (size_t at = log.find(ready); at != std::string::npos; at = log.find(ready, at + 1)) ++seen;
    if (seen >= starts_) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

int Machine::StopService(milliseconds limit) {
  if (service_ <= 0) return -1;
  ::kill(service_, SIGTERM);
  const pid_t pid = service_;
  service_ = -1;
  const auto start = Clock::now();
  const int status = WaitProcess(pid, limit);
  // WaitProcess kills what outlives the limit; say so rather than pass on its status.
  return Clock::now() - start >= limit ? -1 : status;
}

void Machine::KillService() {
  if (service_ <= 0) return;
  ::kill(service_, SIGKILL);
  WaitProcess(service_, std::chrono::seconds(10));
  service_ = -1;
}

std::string Machine::Log() const { return "---- " + name() + " ----\n" + ReadFile(Path("service.log")); }

std::string Machine::SanitizerReport() const {
  std::istringstream log(ReadFile(Path("service.log")));
  for (std::string line; std::getline(log, line);) {
    if (line.find("Sanitizer") != std::string::npos || line.find("runtime error:") != std::string::npos) return line;
  }
  return {};
}

RunResult Machine::Run(const std::string& program, const std::vector<std::string>& args, uid_t uid,
                       milliseconds limit) {
  const std::string out = Path("run.out");
  ::unlink(out.c_str());
  RunResult r;
  r.status = WaitProcess(StartProcess(root_, program, args, out, uid), limit);
  r.output = ReadFile(out);
  return r;
}

RunResult Machine::Post(const std::string& user, const std::string& message) {
  const std::string file = Path("home/" + user + "/message.txt");
  const uid_t uid = UidOf(user);
  if (!WriteFile(file, message) || ::chown(file.c_str(), uid, uid) != 0) return {-1, "cannot write " + file};
  return Run(PellpostPath(), {file}, uid);
}

bool Machine::PostMany(const std::string& user, const std::vector<std::string>& messages) {
  const int status = RunAs(
      root_, UidOf(user),
      [&messages] {
        for (const std::string& m : messages) {
          const char* error = nullptr;
          if (SendMailMessageFromText(m.data(), static_cast<int32_t>(m.size()), &error) != 0) return 1;
        }
        return 0;
      },
      std::chrono::seconds(60));
  return status == 0;
}

bool Machine::AdjacentTo(const std::string& peer, milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (true) {
    if (Pellncp({"show", "circuit"}).output.find("Adjacent node            = " + peer + "\n") != std::string::npos) {
      return true;
    }
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

std::vector<std::string> Machine::Messages(const std::string& user, const std::string& folder) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Path("home/" + user + "/mail/" + folder), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 11 && name.rfind("msg", 0) == 0 && name.substr(7) == ".mai") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> contents;
  for (const auto& name : names) contents.push_back(ReadFile(Path("home/" + user + "/mail/" + folder + "/" + name)));
  return contents;
}

size_t Machine::MessageCount(const std::string& user, const std::string& folder) const {
  size_t count = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Path("home/" + user + "/mail/" + folder), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == 11 && name.rfind("msg", 0) == 0 && name.substr(7) == ".mai") ++count;
  }
  return count;
}

bool Machine::WaitForMessages(const std::string& user, size_t count, milliseconds limit) const {
  return WaitUntil([&] { return MessageCount(user) >= count; }, limit);
}

size_t Machine::QueuedCount() const {
  size_t count = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(Path("queue"), ec)) {
    if (entry.path().extension() == ".mai") ++count;
  }
  return count;
}

}  // namespace pellam::e2e
