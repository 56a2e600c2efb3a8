#!/usr/bin/env bash
# Installs the build into a staging directory (DESTDIR) and checks the tree as a user
# meets it: every program runs from there and finds the installed libraries by itself,
# the manual pages render and know each program's options, the header compiles alone
# in C and C++, pellam.pc is valid, and the example builds against the installed
# library and queues mail that the service, installed by the installed setup, delivers.
set -uo pipefail
# shellcheck source=/dev/null
. "$1"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # what, got, wanted
  if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: got [$2], wanted [$3]"; fi
}
words() { echo $*; }  # the words of the arguments, one blank between them

work=$(mktemp -d "${TMPDIR:-/tmp}/pellam-install.XXXXXX")
root=$work/root  # the sandbox (PELLAM_ROOT) for the runs that touch the store
stop_service() {
  local pid_file=$root/run/pellam/pellam.pid pid
  [ -f "$pid_file" ] || return 0
  read -r pid _ <"$pid_file" || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  fail "the service $pid did not stop"
  kill -KILL "$pid" 2>/dev/null
}
trap 'stop_service; rm -rf "$work"' EXIT
stage=$work/stage
if ! DESTDIR=$stage cmake --install "$build" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install $build"
  exit 1
fi
unset LD_LIBRARY_PATH
have() { grep -qE "(^| )[^ ]*/$1( |$)" <<<"$programs"; }  # does this build install program $1?
# The files that the loader takes the two libraries from when it runs program $1 (ldd
# is given the program's own path, from which the loader's $ORIGIN is taken).
mail_libraries() { ldd "$(readlink -f "$1")" | awk '/libpellam/ {print $3}' | xargs -r readlink -f; }

# Nothing outside the prefix: an absolute destination would break installs without root.
outside=$(cd "$stage" && find . -mindepth 1 \( -type f -o -type l \) | sed 's|^\.||' | grep -v "^$prefix/")
expect "every installed file is below $prefix" "$outside" ""

# The libraries: versioned files, their soname links, and a link to link with only
# for the mail library.
for lib in libpellam libpellamplatform; do
  file=$stage$libdir/$lib.so.$version
  expect "$lib.so.$major links to $lib.so.$version" "$(readlink "$stage$libdir/$lib.so.$major")" "$lib.so.$version"
  expect "soname of $lib" "$(objdump -p "$file" 2>/dev/null | awk '$1 == "SONAME" {print $2}')" "$lib.so.$major"
done
expect "libpellam.so links to the soname" "$(readlink "$stage$libdir/libpellam.so")" "libpellam.so.$major"
expect "no libpellamplatform.so to link with" "$(ls "$stage$libdir/libpellamplatform.so" 2>/dev/null)" ""

# What the libraries export: libpellam the 45 functions of its C interface and, under
# its private node, the control-file reader of the service and pellqueue and the
# service's batch delivery; the
# platform layer and the DECnet stack their own namespaces under their version nodes,
# with no fault-injection hook and no C++ library code.
exports() { nm -D --defined-only "$stage$libdir/$1.so.$version" | awk '$2 != "A" {print $3}'; }
expect "libpellam's C interface" "$(exports libpellam | grep -c '^[A-Za-z]*@@PELLAM_1.0$')" 45
expect "libpellam's private node" \
  "$(exports libpellam | grep -v '@@PELLAM_1.0$' | c++filt | sed 's/(.*@@/ /' | sort | uniq -c | xargs)" \
  "2 pellam::control::DecodeControlFile PELLAM_PRIVATE_1 1 pellam::control::ReadControlFile PELLAM_PRIVATE_1 1 pellam::delivery::DeliverMailFiles PELLAM_PRIVATE_1"
for pair in libpellamplatform:platform:PELLAM_PLATFORM_1 libpellamdecnet:decnet:PELLAM_DECNET_1; do
  IFS=: read -r lib space node <<<"$pair"
  names=$(exports "$lib" | c++filt)
  expect "$lib exports" "$([ -n "$names" ] && echo some)" some
  expect "$lib exports only $space under $node" \
    "$(grep -v -E "^$space::.*@@$node\$" <<<"$names")" ""
done
expect "no fault-injection hook installed" "$(exports libpellamplatform | c++filt | grep 'fault::')" ""

# Each program: --version and --help without help from the environment, the mail
# libraries taken from the installed tree, and a manual page that renders without a
# warning and names every option its --help names.
for program in $programs; do
  name=${program##*/}
  file=$stage$program
  if [ ! -x "$file" ]; then fail "$program is not installed"; continue; fi
  expect "$name --version" "$("$file" --version 2>&1)" "$name $version"
  help=$("$file" --help 2>&1)
  expect "$name --help exit status" "$?" 0
  libraries=$(mail_libraries "$file" | grep -v "^$stage$libdir/")
  expect "$name finds its libraries in $libdir" "$libraries" ""
  case $name in pellam | pellqueue)  # clients of the mail library, as every program is
    expect "$name uses libpellam.so" "$(mail_libraries "$file" | grep -c "/libpellam.so.$version$")" 1 ;;
  esac
  page=$(ls "$stage$mandir"/man[18]/"$name".[18] 2>/dev/null)
  if [ -z "$page" ]; then fail "no manual page for $name"; continue; fi
  expect "${page##*/} renders without warnings" "$(LC_ALL=C groff -man -ww -z "$page" 2>&1)" ""
  text=$(LC_ALL=C groff -man -Tascii -P-c -P-b -P-u "$page" 2>/dev/null)
  options=$(grep -oE -- '(^|[][ |,])(--[a-z-]+|/[a-z]{1,2})\b' <<<"$help" | tr -d '[]|, ' | sort -u)
  missing=$(for o in $options; do grep -qF -- "$o" <<<"$text" || echo "$o"; done)
  expect "${page##*/} names the options of $name --help" "$(words $missing)" ""
done

# pellam.pc: valid, with the flags of the installed tree (the sysroot is the stage).
export PKG_CONFIG_LIBDIR=$stage$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$stage
export PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1
expect "pkg-config --validate pellam" "$(pkg-config --validate pellam 2>&1; echo $?)" 0
expect "pkg-config --modversion" "$(pkg-config --modversion pellam)" "$version"
expect "pkg-config --cflags" "$(words $(pkg-config --cflags pellam))" "-I$stage$includedir"
expect "pkg-config --libs" "$(words $(pkg-config --libs pellam))" "-L$stage$libdir -lpellam"

# The header alone, in strict C and C++.
cflags=$(pkg-config --cflags pellam)
expect "pellam.h alone in C99" \
  "$(echo '#include <pellam.h>' | cc -x c -std=c99 -Wall -Wextra -Werror -pedantic $cflags -fsyntax-only - 2>&1)" ""
expect "pellam.h alone in C++11" \
  "$(echo '#include <pellam.h>' | c++ -x c++ -std=c++11 -Wall -Wextra -Werror -pedantic $cflags -fsyntax-only - 2>&1)" ""

# The example, the one the README shows, built as the README says against the
# installed library.
example=$stage$docdir/examples/example.c
expect "the README shows the example" \
  "$(sed -n '/^```c$/,/^```$/p' "$stage$docdir/README.md" | sed '1d;$d' | cmp - "$example" 2>&1)" ""
expect "the example builds" \
  "$(cc -Wall -Wextra -Werror $sanitize_flags "$example" $(pkg-config --cflags --libs pellam) -o "$work/example" 2>&1)" ""

# A sandbox with the calling user, the mail directories that setup proposes, and the
# user registered as a receiver; the example queues a message for the user.
me=$(id -un)
mkdir -p "$root/etc" "$root/home/$me" "$root/var/spool/pellam/queue" "$root/var/spool/pellam/temp"
echo "$me:x:$(id -u):$(id -g):Install Test:/home/$me:/bin/sh" >"$root/etc/passwd"
export PELLAM_ROOT=$root
pellreg=$stage$sbindir/pellreg
key='HKLM\Software\Corwent\Pellam'
queue=$root/var/spool/pellam/queue/
"$pellreg" add "$key" /v MailQueuePath /d "$queue" /f >/dev/null &&
  "$pellreg" add "$key" /v MailTempPath /d "$root/var/spool/pellam/temp/" /f >/dev/null &&
  "$pellreg" add 'HKCU\Software\Corwent\Pellam' /v DisableNewMail /t REG_DWORD /d 0 /f >/dev/null ||
  fail "the installed pellreg cannot write the sandbox's store"
expect "the example queues a message" \
  "$(LD_LIBRARY_PATH=$stage$libdir "$work/example" "$me" 2>&1)" "queued for $me in $queue"
queued=$(ls "$queue" | grep -c '^snd.*\.mai$')
expect "control files in the queue" "$queued" 1
expect "the installed pellqueue shows the subject" \
  "$("$stage$sbindir/pellqueue" "$queue"snd*.mai 2>&1 | grep -c '^    Subject: Hello$')" 1

# The desktop's pieces that come with the client.
if have pelldesk; then
  for entry in pellam:Pellam pellam-readme:"Pellam ReadMe"; do
    file=$stage$datadir/applications/${entry%%:*}.desktop
    if [ ! -f "$file" ]; then fail "no $file"; continue; fi
    expect "name in ${file##*/}" "$(sed -n 's/^Name=//p' "$file")" "${entry#*:}"
    target=$(sed -n 's/^Exec=\(xdg-open \)\{0,1\}//p' "$file")
    expect "what ${file##*/} starts is installed" "$(ls "$stage$target" 2>&1)" "$stage$target"
    if command -v desktop-file-validate >/dev/null; then
      expect "desktop-file-validate ${file##*/}" "$(desktop-file-validate "$file" 2>&1)" ""
    fi
  done
  for png in "$stage$datadir"/icons/hicolor/*/apps/pellam.png; do
    size=${png%/apps/pellam.png}
    size=${size##*/}
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    drawn=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
    expect "icon ${size}" "$drawn" "$size"
  done
  expect "icon sizes" "$(ls "$stage$datadir/icons/hicolor" | sort -n | tr '\n' ' ')" "16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256 "
fi

if have pellam; then
  service=$(sed -n 's/^ExecStart="\([^"]*\)".*/\1/p' "$stage$unit_file")
  expect "the unit starts the installed service" "$service" "$sbindir/pellam"
fi

# setup from the installed tree: the link in sbin leads to the program beside its
# script, whose files are the installed ones and are those of the build's script.
if have setup; then
  setup_dir=$stage$libexecdir/pellam
  expect "setup links to its directory" "$(readlink -f "$stage$sbindir/setup")" "$setup_dir/setup"
  listed() { sed -e 's/[;#].*//' -e '/^\[/d' -e 's/ *=.*//' -e 's/^ *//' -e '/^$/d' "$1"; }
  expect "the installed script lists the build's files" \
    "$(words $(listed "$setup_dir/setup.inf"))" "$(words $(listed "$build/bin/setup.inf"))"
  missing=$(sed -e 's/[;#].*//' -e '/^\[/d' -e '/^ *$/d' "$setup_dir/setup.inf" |
    while read -r name _ source; do [ -e "$setup_dir/${source:-$name}" ] || echo "${source:-$name}"; done)
  expect "the installed script's sources exist" "$(words $missing)" ""

  printf '100 CONTINUE\n500 CONTINUE\n600 CONTINUE\n300 CONTINUE\n' >"$work/answers"
  "$stage$sbindir/setup" --script "$work/answers" >"$work/setup.out" 2>&1
  status=$?
  expect "setup from the installed tree" "$status" 0
  [ "$status" = 0 ] || cat "$work/setup.out"
  programs_dir=$root/opt/pellam
  expect "the copied pellpost runs beside the copied libraries" \
    "$("$programs_dir/pellpost" --version 2>&1) $(words $(mail_libraries "$programs_dir/pellpost"))" \
    "pellpost $version $programs_dir/libpellam.so.1 $programs_dir/libpellamplatform.so.1"
  delivered=$root/home/$me/mail/new/msg0001.mai
  for _ in $(seq 100); do [ -f "$delivered" ] && break; sleep 0.1; done
  expect "the service setup started delivers the example's message" \
    "$(grep -c 'Sent with the Pellam mail library.' "$delivered" 2>&1)" 1
  stop_service
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
