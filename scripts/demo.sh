#!/usr/bin/env bash
# The main job: builds Pellam and sends a message down its whole road inside a private
# sandbox (PELLAM_ROOT), never touching the real system. As root it mails two local
# users and lets the service deliver with their identities; otherwise the caller
# mails itself. Two more sandboxes then run two DECnet nodes, ALPHA and BRAVO, each
# with its service, on a Multinet link over loopback: ann on ALPHA mails BRAVO::BOB and
# bob's reply comes back. Every service it starts is stopped at the end, whatever happens.
# Where a display exists the client opens on the recipient's mailbox; without one it
# runs offscreen and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
bin=$top/build/bin

root=$top/build/demo-root
rm -rf "$root"
mkdir -p "$root/etc" "$root/srv/pellam"
chmod 755 "$root"
export PELLAM_ROOT=$root

say() { printf '\n== %s\n' "$*"; }

# Every service the demo starts is stopped when it ends, however it ends.
services=()
stop_services() {
  for pid in "${services[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${services[@]}"; do wait "$pid" 2>/dev/null || true; done
  services=()
}
trap stop_services EXIT
trap 'exit 130' INT TERM  # through the EXIT trap

me=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  recipients=(ann bob)
  {
    echo "$me:x:0:0:Demo Administrator:/home/$me:/bin/sh"
    echo "ann:x:1001:1001:Ann Example:/home/ann:/bin/sh"
    echo "bob:x:1002:1002:Bob Example:/home/bob:/bin/sh"
  } >"$root/etc/passwd"
  for u in ann:1001 bob:1002; do
    mkdir -p "$root/home/${u%%:*}" && chown "${u##*:}:${u##*:}" "$root/home/${u%%:*}"
  done
else
  recipients=("$me")
  echo "$me:x:$(id -u):$(id -g):Demo User:/home/$me:/bin/sh" >"$root/etc/passwd"
fi
mkdir -p "$root/home/$me"

say "The machine's mail parameters, written with pellreg"
"$bin/pellreg" add 'HKLM\Software\Corwent\Pellam' /v MailQueuePath /t REG_SZ /d "$root/srv/pellam/queue" /f
"$bin/pellreg" add 'HKLM\Software\Corwent\Pellam' /v MailTempPath /t REG_SZ /d "$root/srv/pellam/temp" /f
mkdir -p "$root/srv/pellam/queue" "$root/srv/pellam/temp"
"$bin/pellreg" query 'HKLM\Software\Corwent\Pellam'

say "Registering the users: a profile key in each one's own hive"
"$bin/pellreg" add 'HKCU\Software\Corwent\Pellam' /v DisableNewMail /t REG_DWORD /d 0 /f
if [ "$(id -u)" -eq 0 ]; then
  for uid in 1001 1002; do
    "$bin/pellreg" add "HKU\\S-1-22-1-$uid\\Software\\Corwent\\Pellam" /v DisableNewMail /t REG_DWORD /d 0 /f
  done
fi

say "A message, posted with pellpost"
message=$root/home/$me/hello.txt
{
  printf 'To: %s\r\n' "$(IFS=,; echo "${recipients[*]}")"
  printf 'Subject: Hello from the demo\r\n'
  printf '\r\n'
  printf 'This message went from pellpost through the queue to your "new" folder.\r\n'
} >"$message"
cat "$message"
"$bin/pellpost" "$message" && echo "pellpost exit code: 0"

say "The queue now holds"
ls -l "$root/srv/pellam/queue"
"$bin/pellqueue" "$root/srv/pellam/queue"/*.mai

say "The service delivers the queue"
"$bin/pellam" --foreground &
services+=($!)
for _ in $(seq 100); do
  ls "$root/srv/pellam/queue"/*.mai >/dev/null 2>&1 || break
  sleep 0.1
done
stop_services
for u in "${recipients[@]}"; do
  say "$u's \"new\" folder"
  ls -l "$root/home/$u/mail/new/"
  cat "$root/home/$u/mail/new/msg0001.mai"
done

# DECnet: two machines in two more sandboxes, each with its own service, joined by
# Multinet over TCP on loopback (ALPHA listens, BRAVO connects). As root ann lives on
# ALPHA and bob on BRAVO, each posting with their own identity; otherwise the caller
# is the user on both.
say "DECnet: two nodes, ALPHA (1.1) and BRAVO (1.2), on one Multinet link over loopback"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
if [ "$(id -u)" -eq 0 ]; then
  alpha_user=ann alpha_uid=1001 bravo_user=bob bravo_uid=1002
else
  alpha_user=$me alpha_uid=$(id -u) bravo_user=$me bravo_uid=$(id -u)
fi
box_of() { echo "$top/build/demo-decnet-$1"; }
for node in ALPHA:1.1:multinet-tcp-listen:$alpha_user:$alpha_uid:Ann BRAVO:1.2:multinet-tcp-connect:$bravo_user:$bravo_uid:Bob; do
  IFS=: read -r name address circuit user uid first <<<"$node"
  box=$(box_of "$name")
  rm -rf "$box"
  mkdir -p "$box/etc" "$box/queue" "$box/temp" "$box/home/$user"
  chmod 755 "$box"
  chmod 1777 "$box/queue" "$box/temp"  # as setup leaves them: every user posts
  echo "$user:x:$uid:$uid:$first Example:/home/$user:/bin/sh" >"$box/etc/passwd"
  chown "$uid:$uid" "$box/home/$user"
  cat >"$box/decnet.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Corwent\Pellam]
"MailQueuePath"="$box/queue"
"MailTempPath"="$box/temp"

[HKEY_LOCAL_MACHINE\Software\Corwent\Pellam\DECnet]
"Address"="$address"
"Name"="$name"
"Circuit"="$circuit"
"RemoteHost"="127.0.0.1"
"LocalHost"="127.0.0.1"
"RemotePort"=dword:$(printf %08x "$port")
"LocalPort"=dword:$(printf %08x "$port")

[HKEY_LOCAL_MACHINE\Software\Corwent\Pellam\DECnet\Nodes]
"ALPHA"="1.1"
"BRAVO"="1.2"
REG
  PELLAM_ROOT=$box "$bin/pellreg" import "$box/decnet.reg"
  PELLAM_ROOT=$box "$bin/pellreg" add "HKU\\S-1-22-1-$uid\\Software\\Corwent\\Pellam" /v DisableNewMail /t REG_DWORD /d 0 /f
  PELLAM_ROOT=$box "$bin/pellam" --foreground 2>"$box/service.log" &
  services+=($!)
done
echo "BRAVO's DECnet key, written with pellreg import:"
PELLAM_ROOT=$(box_of BRAVO) "$bin/pellreg" query 'HKLM\Software\Corwent\Pellam\DECnet'
ncp() { local name=$1; shift; PELLAM_ROOT=$(box_of "$name") "$bin/pellncp" "$@"; }
for _ in $(seq 150); do
  ncp BRAVO show circuit 2>/dev/null | grep -q "Adjacent node *= 1.1 (ALPHA)" && break
  sleep 0.2
done
say "pellncp show executor, on BRAVO"
ncp BRAVO show executor
say "pellncp show circuit, on ALPHA"
ncp ALPHA show circuit
say "pellncp loop node BRAVO, from ALPHA"
ncp ALPHA loop node BRAVO count 3 length 256

# Posts a file as a user of a node: pellpost with the user's identity, where the
# demo can take it.
post_as() {
  local name=$1 user=$2 uid=$3 file=$4 box
  box=$(box_of "$name")
  chown "$uid:$uid" "$file"
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid="$uid" --regid="$uid" --clear-groups env PELLAM_ROOT="$box" "$bin/pellpost" "$file"
  else
    PELLAM_ROOT=$box "$bin/pellpost" "$file"
  fi
}
# Waits up to 30 s for a user's first message in "new" and shows it.
show_new() {
  local name=$1 user=$2 folder
  folder=$(box_of "$name")/home/$user/mail/new
  for _ in $(seq 300); do
    [ -e "$folder/msg0001.mai" ] && break
    sleep 0.1
  done
  say "$user's \"new\" folder on $name"
  ls -l "$folder/"
  cat "$folder/msg0001.mai"
}

upper() { tr '[:lower:]' '[:upper:]' <<<"$1"; }
say "$alpha_user on ALPHA mails BRAVO::$(upper "$bravo_user") with pellpost"
note=$(box_of ALPHA)/home/$alpha_user/to-bravo.txt
printf 'To: BRAVO::%s\r\nSubject: Across the DECnet road\r\n\r\nThis message went from ALPHA to BRAVO by MAIL-11.\r\n' \
  "$(upper "$bravo_user")" >"$note"
cat "$note"
post_as ALPHA "$alpha_user" "$alpha_uid" "$note" && echo "pellpost exit code: 0"
show_new BRAVO "$bravo_user"

say "$bravo_user on BRAVO replies to ALPHA::$(upper "$alpha_user")"
reply=$(box_of BRAVO)/home/$bravo_user/reply.txt
printf 'To: ALPHA::%s\r\nSubject: Re: Across the DECnet road\r\n\r\nIt came; this reply goes back the same road.\r\n' \
  "$(upper "$alpha_user")" >"$reply"
cat "$reply"
post_as BRAVO "$bravo_user" "$bravo_uid" "$reply" && echo "pellpost exit code: 0"
show_new ALPHA "$alpha_user"
stop_services

# The recipient's client: as root the demo opens ann's, with her identity.
client=("$bin/pelldesk")
if [ "$(id -u)" -eq 0 ]; then
  client=(setpriv --reuid=1001 --regid=1001 --clear-groups env HOME="$root/home/ann" "$bin/pelldesk")
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
[ "$(id -u)" -eq 0 ] && chown 1001:1001 "$runtime"
export XDG_RUNTIME_DIR=$runtime
if [ -n "${DISPLAY:-}" ]; then
  say "Opening pelldesk for ${recipients[0]} (close it to end the demo)"
  "${client[@]}"
else
  say "No display: pelldesk for ${recipients[0]} in a virtual X server"
  shot=$top/build/pelldesk-demo.png
  rm -f "$shot"
  # -ac lets the recipient's process use the server that root started.
  xvfb-run -a -s "-ac -screen 0 1024x768x24" bash -c '
    "${@:2}" 2>/dev/null & app=$!
    sleep 8
    import -window root "$1"
    kill -TERM "$app"; wait "$app" 2>/dev/null' demo "$shot" "${client[@]}" || true
  if [ -s "$shot" ]; then echo "screenshot of the main window saved to $shot"; else echo "no screenshot taken"; fi
fi
rm -rf "$runtime"
