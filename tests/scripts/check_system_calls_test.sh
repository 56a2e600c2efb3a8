#!/bin/sh
# The system-call check on a made-up tree: every kind of call it looks for is named
# with its file and line, what is only in a comment or a method of the same name is
# not, platform/ and decnet/ are left alone, and a clean tree passes.
# Usage: check_system_calls_test.sh <check-system-calls.sh>
set -eu
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/service" "$tree/client" "$tree/platform/src" "$tree/decnet"

cat > "$tree/service/calls.cpp" <<'CODE'
#include <syslog.h>
#include <cerrno>
int a = ::open(path, O_RDONLY);
if (errno == EINTR) {}
::syslog(LOG_INFO, "%s", text);
const pid_t pid = ::fork();
std::rename(from, to);
  ::fstat(fd, &st);
int n = inotify_add_watch(fd, path, mask);
waitpid(pid, &status, 0);
execvp(argv[0], argv);
CODE
cat > "$tree/client/clean.cpp" <<'CODE'
// ::open(path) and errno, fork and syslog are named in this comment only
/* a block comment: ::write(fd, data, size);
   still the comment: waitpid(pid) */ int after_comment = 0;
connect(button, &QPushButton::clicked, this, &QDialog::close);
file.close();
const LineSink write = [](const std::string&) {};
int errors = 0;  // a name that only begins like one
CODE
printf '%s\n' 'int fd = ::open(path, O_RDONLY);' > "$tree/platform/src/files.cpp"
printf '%s\n' 'if (errno == EAGAIN) {}' > "$tree/decnet/link.cpp"

status=0
out=$(sh "$check" "$tree" 2>/dev/null) || status=$?
fail() { echo "FAIL: $*"; printf '%s\n' "$out"; exit 1; }
[ "$status" -eq 1 ] || fail "exit status $status, wanted 1"
for line in 1 2 3 4 5 6 7 8 9 10 11; do
  printf '%s\n' "$out" | grep -q "^service/calls.cpp:$line: " || fail "service/calls.cpp:$line not named"
done
[ "$(printf '%s\n' "$out" | wc -l)" -eq 11 ] || fail "named more than the eleven calls"

rm "$tree/service/calls.cpp"
status=0
out=$(sh "$check" "$tree" 2>/dev/null) || status=$?
[ "$status" -eq 0 ] || fail "a clean tree gave exit status $status"

status=0
out=$(sh "$check" "$tree/platform" 2>&1) || status=$?
[ "$status" -eq 2 ] || fail "a tree without source folders gave exit status $status, wanted 2"
echo "check-system-calls: all cases pass"
