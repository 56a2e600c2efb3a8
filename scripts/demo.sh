#!/usr/bin/env bash
# The main job: builds Pellam and sends a message down its whole road inside a private
# sandbox (PELLAM_ROOT), never touching the real system. As root it mails two local
# users and lets the service deliver with their identities; otherwise the caller
# mails itself. Two more sandboxes then run two DECnet nodes that loop to each other.
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
service=$!
for _ in $(seq 100); do
  ls "$root/srv/pellam/queue"/*.mai >/dev/null 2>&1 || break
  sleep 0.1
done
kill -TERM "$service"; wait "$service" || true
for u in "${recipients[@]}"; do
  say "$u's \"new\" folder"
  ls -l "$root/home/$u/mail/new/"
  cat "$root/home/$u/mail/new/msg0001.mai"
done

# DECnet: two machines in two more sandboxes, each with its own service, joined by
# Multinet over TCP on loopback (ALPHA listens, BRAVO connects).
say "DECnet: two nodes, ALPHA (1.1) and BRAVO (1.2), on one Multinet link over loopback"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
decnet_services=()
stop_decnet() {
  for pid in "${decnet_services[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${decnet_services[@]}"; do wait "$pid" 2>/dev/null || true; done
  decnet_services=()
}
trap stop_decnet EXIT
for node in ALPHA:1.1:multinet-tcp-listen BRAVO:1.2:multinet-tcp-connect; do
  IFS=: read -r name address circuit <<<"$node"
  box=$top/build/demo-decnet-$name
  rm -rf "$box"
  mkdir -p "$box/etc" "$box/queue" "$box/temp"
  chmod 755 "$box"
  echo "$me:x:$(id -u):$(id -g):Demo User:/home/$me:/bin/sh" >"$box/etc/passwd"
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
  PELLAM_ROOT=$box "$bin/pellam" --foreground 2>"$box/service.log" &
  decnet_services+=($!)
done
echo "BRAVO's DECnet key, written with pellreg import:"
PELLAM_ROOT=$top/build/demo-decnet-BRAVO "$bin/pellreg" query 'HKLM\Software\Corwent\Pellam\DECnet'
ncp() { local name=$1; shift; PELLAM_ROOT=$top/build/demo-decnet-$name "$bin/pellncp" "$@"; }
for _ in $(seq 150); do
  ncp BRAVO show circuit 2>/dev/null | grep -q "Adjacent node *= 1.1 (ALPHA)" && break
  sleep 0.2
done
say "pellncp show executor, on BRAVO"
ncp BRAVO show executor
say "pellncp loop node ALPHA, from BRAVO"
ncp BRAVO loop node ALPHA count 3 length 256
say "pellncp loop node BRAVO, from ALPHA"
ncp ALPHA loop node BRAVO count 3 length 256
stop_decnet
trap - EXIT

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
