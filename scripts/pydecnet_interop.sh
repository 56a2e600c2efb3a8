#!/usr/bin/env bash
# Interoperation by hand: our end node (the pellam service in a sandbox) on a PyDECnet
# level-1 router on loopback, first over Multinet TCP, then over Ethernet in UDP:
# the adjacency, MIRROR loops both ways (pellncp, and PyDECnet's dnping) and the
# router's status page. PyDECnet is run from a tree of its own outside this one.
# Everything started here is stopped here, and every step is bounded in time.
#   usage: scripts/pydecnet_interop.sh PYDECNET_TREE [BIN_DIR]
# tcpdump traces of each run are kept in the output directory when tcpdump exists.
set -u
if [ $# -lt 1 ] || [ ! -f "$1/decnet/main.py" ]; then
  echo "usage: $0 PYDECNET_TREE [BIN_DIR]   (PYDECNET_TREE holds decnet/main.py)" >&2
  exit 2
fi
py=$(cd "$1" && pwd)
bin=${2:-$(cd "$(dirname "$0")/.." && pwd)/build/bin}
out=$(mktemp -d "${TMPDIR:-/tmp}/pellam-interop.XXXXXX")
echo "output in $out"
pids=()
# Each started process is a `timeout` with one child: both go, by their ids.
cleanup() {
  local p kids=()
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for _ in $(seq 30); do
    local alive=0
    for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" = 0 ] && break
    sleep 0.1
  done
  for p in "${pids[@]}"; do kids+=($(ps -o pid= --ppid "$p" 2>/dev/null)); done
  for p in "${kids[@]}" "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

sandbox() { # dir circuit-values...
  local r=$1; shift
  mkdir -p "$r/etc" "$r/q" "$r/t"; echo "root:x:0:0:root:/root:/bin/sh" >"$r/etc/passwd"
  {
    echo "Windows Registry Editor Version 5.00"; echo
    echo '[HKEY_LOCAL_MACHINE\Software\Corwent\Pellam]'
    echo "\"MailQueuePath\"=\"$r/q/\""; echo "\"MailTempPath\"=\"$r/t/\""; echo
    echo '[HKEY_LOCAL_MACHINE\Software\Corwent\Pellam\DECnet]'
    echo '"Address"="1.2"'; echo '"Name"="BRAVO"'
    for v in "$@"; do echo "$v"; done; echo
    echo '[HKEY_LOCAL_MACHINE\Software\Corwent\Pellam\DECnet\Nodes]'
    echo '"ALPHA"="1.1"'; echo '"BRAVO"="1.2"'
  } >"$r/config.reg"
  PELLAM_ROOT=$r "$bin/pellreg" import "$r/config.reg"
}

run_case() { # name, pydecnet circuit line, our values...
  local name=$1 circuit=$2; shift 2
  local dir=$out/$name http=$((18000 + RANDOM % 1000))
  mkdir -p "$dir"
  echo "===== $name"
  cat >"$dir/node.conf" <<CONF
routing 1.1 --type l1router
node 1.1 ALPHA
node 1.2 BRAVO
$circuit
CONF
  cat >"$dir/http.conf" <<CONF
http --http-port $http --https-port 0 --local-address 127.0.0.1 -4
api $dir/api.sock
CONF
  sandbox "$dir/root" "$@"
  if command -v tcpdump >/dev/null; then
    timeout -k 2 120 tcpdump -i lo -U -w "$dir/trace.pcap" "$FILTER" >/dev/null 2>"$dir/tcpdump.err" & pids+=($!)
  fi
  sleep 0.5
  (cd "$dir" && PYTHONPATH=$py exec timeout -k 2 60 python3 -m decnet.main node.conf http.conf) >"$dir/pydecnet.log" 2>&1 & pids+=($!)
  sleep 2
  PELLAM_ROOT=$dir/root timeout -k 2 60 "$bin/pellam" --foreground >"$dir/pellam.log" 2>&1 & local service=$!; pids+=($service)
  local up=no
  for _ in $(seq 150); do
    if PELLAM_ROOT=$dir/root "$bin/pellncp" show circuit 2>/dev/null | grep -q "Adjacent node *= 1.1 (ALPHA)"; then up=yes; break; fi
    sleep 0.2
  done
  echo "adjacency up: $up"
  echo "--- pellncp show executor"; PELLAM_ROOT=$dir/root timeout 10 "$bin/pellncp" show executor
  echo "--- pellncp loop node ALPHA count 3 length 100"; PELLAM_ROOT=$dir/root timeout 30 "$bin/pellncp" loop node ALPHA count 3 length 100; echo "exit $?"
  echo "--- dnping BRAVO (PyDECnet to our MIRROR)"; (cd "$py" && DECNETAPI=$dir/api.sock PYTHONPATH=$py timeout 20 python3 applications/dnping BRAVO); echo "exit $?"
  echo "--- router status page"
  timeout 10 curl -s "http://127.0.0.1:$http/routing/status?system=ALPHA" >"$dir/status.html"
  sed -e 's/<[^>]*>/ /g' "$dir/status.html" | tr -s ' ' | grep -v "^ *$" | grep -A2 "Point to point circuits\|Adjacencies on"
  kill "$service"; wait "$service" 2>/dev/null
  cleanup; pids=()
  echo "--- PyDECnet log (tail)"; tail -5 "$dir/pydecnet.log"
  echo "--- pellam log"; cat "$dir/pellam.log"
  [ -f "$dir/trace.pcap" ] && echo "--- trace: $(tcpdump -r "$dir/trace.pcap" 2>/dev/null | wc -l) packets in $dir/trace.pcap"
}

mport=$((17000 + RANDOM % 900))
FILTER="tcp port $mport"
run_case multinet "circuit mul-0 Multinet --mode listen --local-address 127.0.0.1 --local-port $mport -4" \
  '"Circuit"="multinet-tcp-connect"' '"RemoteHost"="127.0.0.1"' "\"RemotePort\"=dword:$(printf %08x $mport)"

u1=$((16000 + RANDOM % 400)); u2=$((u1 + 500))
FILTER="udp port $u1 or udp port $u2"
run_case ethernet-udp "circuit eth-0 Ethernet --mode udp --local-address 127.0.0.1 --local-port $u1 --remote-address 127.0.0.1 --remote-port $u2 -4" \
  '"Circuit"="ethernet-udp"' '"RemoteHost"="127.0.0.1"' '"LocalHost"="127.0.0.1"' \
  "\"RemotePort\"=dword:$(printf %08x $u1)" "\"LocalPort\"=dword:$(printf %08x $u2)"
