// Starting the text editor: a short-lived child starts the editor as a grandchild and
// ends at once, so the editor is re-parented away from the client; a close-on-exec pipe
// carries back why the editor could not be started, or closes silently when it runs.
#include "settings/text_editor.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/errors.h"

namespace pelldesk {
namespace {

// Where a start failed, sent with errno (or the exit status, for Ended) through the pipe.
enum class Stage : int { Fork, Directory, Exec, Ended };
struct Failure {
  Stage stage;
  int error;
};

// The file that would run for `program`: as given when it holds a "/", else the first
// executable regular file of that name along PATH. Empty, with `*status`, when none.
std::string FindProgram(const std::string& program, uint32_t* status) {
  if (program.find('/') != std::string::npos) return program;
  *status = ERROR_FILE_NOT_FOUND;
  if (program.empty()) return {};
  const char* search = std::getenv("PATH");
  std::string path = search != nullptr && *search != '\0' ? search : "/usr/local/bin:/usr/bin:/bin";
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t end = path.find(':', begin);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(begin, end - begin);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
      *status = ERROR_ACCESS_DENIED;  // as a search that found only files it may not run
    }
    begin = end + 1;
  }
  return {};
}

void Report(int pipe, Stage stage) {
  const Failure failure{stage, errno};
  ssize_t ignored = ::write(pipe, &failure, sizeof failure);
  (void)ignored;
}

// Between fork and exec only async-signal-safe calls: the client has other threads.
// With `watch_ms`, the go-between waits that long for a program that gives up at once
// (a desktop with no handler for the file).
[[noreturn]] void RunEditor(int pipe, const char* path, char* const* argv, const char* directory, unsigned watch_ms) {
  const pid_t editor = ::fork();
  if (editor < 0) Report(pipe, Stage::Fork);
  if (editor > 0) {
    for (unsigned waited = 0; waited < watch_ms; waited += 10) {
      int status = 0;
      if (::waitpid(editor, &status, WNOHANG) == editor) {
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
          const Failure failure{Stage::Ended, status};
          ssize_t ignored = ::write(pipe, &failure, sizeof failure);
          (void)ignored;
        }
        break;
      }
      const timespec pause{0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
  }
  if (editor != 0) ::_exit(0);
  ::setsid();  // the editor keeps running when the client's terminal or session ends
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (::chdir(directory) != 0) {
    Report(pipe, Stage::Directory);
  } else {
    ::execve(path, argv, environ);
    Report(pipe, Stage::Exec);
  }
  ::_exit(127);
}

}  // namespace

uint32_t StartTextEditor(const std::string& program, const std::string& file,
                         const std::string& directory) {
  return StartProgram({program, file}, directory, 0);
}

uint32_t StartProgram(const std::vector<std::string>& command, const std::string& directory, unsigned watchMs) {
  if (command.empty()) return platform::Fail(ERROR_INVALID_PARAMETER);
  uint32_t status = 0;
  const std::string path = FindProgram(command.front(), &status);
  if (path.empty()) return platform::Fail(status);
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return platform::FailWithErrno();
  const pid_t child = ::fork();
  if (child < 0) {
    const uint32_t code = platform::FailWithErrno();
    ::close(fds[0]);
    ::close(fds[1]);
    return code;
  }
  if (child == 0) {
    ::close(fds[0]);
    RunEditor(fds[1], path.c_str(), argv.data(), directory.c_str(), watchMs);
  }
  ::close(fds[1]);
  int ignored = 0;
  while (::waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
  }
  Failure failure{};
  ssize_t got = 0;
  do {
    got = ::read(fds[0], &failure, sizeof failure);
  } while (got < 0 && errno == EINTR);
  ::close(fds[0]);
  if (got != static_cast<ssize_t>(sizeof failure)) return platform::Fail(0);  // it runs
  switch (failure.stage) {
    case Stage::Directory:
      return platform::Fail(platform::FromErrno(failure.error, directory.c_str()));
    case Stage::Exec:
      return platform::Fail(platform::FromErrno(failure.error, path.c_str()));
    case Stage::Ended:
      return platform::Fail(ERROR_NOT_SUPPORTED);  // it ran and refused the file
    case Stage::Fork:
      break;
  }
  return platform::Fail(platform::FromErrno(failure.error));
}

std::vector<std::vector<std::string>> FallbackEditors(const std::string& file) {
  std::vector<std::vector<std::string>> commands;
  // The user's own editor, in a terminal since it may well be one that needs it.
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    std::vector<std::string> editor;
    std::string word;
    for (const char* c = value;; ++c) {
      if (*c == ' ' || *c == '\t' || *c == '\0') {
        if (!word.empty()) editor.push_back(word);
        word.clear();
        if (*c == '\0') break;
      } else {
        word += *c;
      }
    }
    if (editor.empty()) continue;
    editor.push_back(file);
    for (const char* terminal : {"x-terminal-emulator", "xterm"}) {
      std::vector<std::string> command = {terminal, "-e"};
      command.insert(command.end(), editor.begin(), editor.end());
      commands.push_back(command);
    }
    break;
  }
  for (const char* plain : {"mousepad", "gedit", "kwrite", "xedit"}) commands.push_back({plain, file});
  return commands;
}

uint32_t StartAnyTextEditor(const std::string& desktop, const std::vector<std::vector<std::string>>& fallbacks,
                            const std::string& file, const std::string& directory) {
  const uint32_t first = StartProgram({desktop, file}, directory, kDesktopWatchMs);
  if (first == 0) return 0;
  for (const std::vector<std::string>& command : fallbacks) {
    if (StartProgram(command, directory, 0) == 0) return 0;
  }
  return platform::Fail(first);  // why the desktop's way failed says most
}

}  // namespace pelldesk
