#!/bin/sh
# Fails when code outside the platform layer (and the network stack, decnet/, which
# has its own) makes a system call that belongs behind it: errno, files, change
# notifications, events, the event log, processes. Such a call escapes fault
# injection and the one errno translation. Prints file:line for each, exit 1; 0 when
# there are none. Comments are skipped as far as a line-by-line look can tell them.
#
# Usage: check-system-calls.sh [source-root]   (default: the tree this script is in)
set -eu

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# Names that are calls wherever they stand.
words='inotify_init1?|inotify_add_watch|inotify_rm_watch|eventfd|syslog|vsyslog|openlog|closelog|errno'
words="$words|memfd_create|fork|vfork|waitpid|waitid|wait3|wait4|execl|execlp|execle|execv|execve|execvp|execvpe"
words="$words|fexecve|posix_spawnp?"
# Names that are calls when written as the global function (a method of the same name
# is not one).
globals='open|openat|creat|read|write|pread|pwrite|close|close_range|stat|fstat|lstat|fstatat|statx'
globals="$globals|rename|renameat2?|unlink|unlinkat|pipe2?|dup[23]?|readlink|setsid|sigaction|shutdown|fsync"
pattern="\\b($words)\\b|(^|[^[:alnum:]_>.:])::($globals)[[:space:]]*\\(|\\bstd::rename\\b"
pattern="$pattern|#[[:space:]]*include[[:space:]]*<(syslog\\.h|sys/inotify\\.h|sys/eventfd\\.h|sys/wait\\.h|spawn\\.h|cerrno|errno\\.h)>"

dirs=''
for d in client service library sender setup tools; do
  [ -d "$d" ] && dirs="$dirs $d"
done
[ -n "$dirs" ] || { echo "check-system-calls: no source folders under $root" >&2; exit 2; }

# Each line as "file:line<TAB>code", with // and /* */ comments blanked out.
found=$(find $dirs -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.h' -o -name '*.hpp' \) | sort |
  xargs awk '
    FNR == 1 { inblock = 0 }
    {
      line = $0; out = ""
      while (length(line) > 0) {
        if (inblock) {
          i = index(line, "*/")
          if (i == 0) { line = "" } else { line = substr(line, i + 2); inblock = 0 }
        } else {
          i = index(line, "/*"); j = index(line, "//")
          if (j > 0 && (i == 0 || j < i)) { out = out substr(line, 1, j - 1); line = "" }
          else if (i > 0) { out = out substr(line, 1, i - 1) " "; line = substr(line, i + 2); inblock = 1 }
          else { out = out line; line = "" }
        }
      }
      print FILENAME ":" FNR "\t " out
    }' |
  grep -E "	.*($pattern)" | sed 's/	 /: /' || true)

if [ -n "$found" ]; then
  printf '%s\n' "$found"
  echo "check-system-calls: the calls above belong in platform/ (fault injection, one errno translation)" >&2
  exit 1
fi
echo "check-system-calls: no system calls outside platform/ and decnet/"
