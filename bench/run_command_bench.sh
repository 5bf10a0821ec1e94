#!/usr/bin/env bash
# Per-script cost of `zarezodud run`, measured end to end against the SQL Server protocol test
# peer, beside the cheapest way to send the same text: one concatenated batch file through
# bsqldb (FreeTDS, package freetds-bin) with the same two session batches in front of every
# script. Also the bookkeeping alone: the record backend, which touches no database, with the
# run journal on tmpfs. Everything is measured in this one run.
#
# Usage: bench/run_command_bench.sh [--binary NAME=PATH]... [COUNT]...
#   --binary  a zarezodud command to measure (repeatable, e.g. before=... after=...);
#             default: after=<build>/cli/zarezodud (BUILD_DIR environment variable, default build)
#   COUNT     numbers of trivial scripts (default: 100 1000 10000)
#
# The peer keeps its SQLite databases on tmpfs (/dev/shm). Each binary runs each count three
# ways: with the state directory on the disk of the work directory (TMPDIR, default /tmp), so
# that each finished script pays its real fdatasync; with it on tmpfs; and with the record
# backend (no database) and everything on tmpfs. Prints the disk's append+fdatasync latency
# (the floor a durable record per script puts under a run), then per binary and count:
# milliseconds per script on disk and on tmpfs, bsqldb's, both ratios, peak RSS and the record
# backend's microseconds per script; then the marginal per-script costs between the counts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
binaries=()
counts=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --binary) binaries+=("$2"); shift 2 ;;
    *) counts+=("$1"); shift ;;
  esac
done
[[ ${#binaries[@]} -gt 0 ]] || binaries=("after=$build/cli/zarezodud")
[[ ${#counts[@]} -gt 0 ]] || counts=(100 1000 10000)
command -v bsqldb >/dev/null || { echo "bsqldb (freetds-bin) is not installed" >&2; exit 1; }
shm=/dev/shm
[[ -d $shm && -w $shm ]] || shm=${TMPDIR:-/tmp}

work=$(mktemp -d "${TMPDIR:-/tmp}/zz-bench.XXXXXX")
fast=$(mktemp -d "$shm/zz-bench.XXXXXX")
peer_pid=
cleanup() {
  [[ -n $peer_pid ]] && { kill "$peer_pid" 2>/dev/null || true; wait "$peer_pid" 2>/dev/null || true; }
  rm -rf "$work" "$fast"
}
trap cleanup EXIT

password="Bench-$RANDOM-$RANDOM"
python3 "$root/tests/tds_peer/tds_peer.py" --user sa --password "$password" --state-dir "$fast/peer" \
  >"$work/peer.out" 2>"$work/peer.err" &
peer_pid=$!
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$work/peer.out")
  [[ -n $port ]] && break
  sleep 0.2
done
[[ -n $port ]] || { cat "$work/peer.err" >&2; exit 1; }

# An installation of count trivial scripts in one list: <dir>/inst.
make_tree() {
  local dir=$1 count=$2
  mkdir -p "$dir/inst/s" "$dir/inst/logs"
  cat >"$dir/inst/ProductConfig.ini" <<'EOF'
[SupportedProducts]
ProductName = Corehub
[Corehub]
DBName = Corehub
DBServer = SQL Server
EOF
  printf '[Bench]\nDirectory = s\nPreCommandType = SQL\nPreCommand-CurRelListFileName = all.lst\n' \
    >"$dir/inst/phases.ini"
  cat >"$dir/inst/params.ini" <<EOF
[Parameters]
productName = Corehub
DBname = Corehub
DBServer = SQL Server
SQLInstance = 127.0.0.1,$port
userId = sa
configFile = phases.ini
productConfigFile = ProductConfig.ini
logfile = logs/upgrade.log
phaseLogFile = logs/phase.log
failedSrcLogFile = logs/failed.log
currentReleaseId = 16
EOF
  python3 - "$dir/inst/s" "$count" <<'EOF'
import sys
d, n = sys.argv[1], int(sys.argv[2])
with open(d + "/all.lst", "w") as lst:
    for i in range(n):
        name = "s%06d.sql" % i
        lst.write(name + "\n")
        with open(d + "/" + name, "w") as f:
            f.write("SELECT %d;\n" % i)
EOF
}

# The same scripts as one bsqldb input: both session batches before each script.
make_batch() {
  local dir=$1 count=$2
  python3 - "$dir/inst/s" "$count" "$dir/all.sql" <<'EOF'
import sys
d, n, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(out, "w") as f:
    for i in range(n):
        f.write("SET XACT_ABORT ON\nGO\nSET QUOTED_IDENTIFIER ON\nGO\n")
        f.write(open(d + "/s%06d.sql" % i).read())
        f.write("GO\n")
EOF
}

# Runs a command; prints "<wall seconds> <peak RSS kB> <CPU seconds>" (wall time to the
# microsecond; CPU time, user and system, to the hundredth: the figure that a loaded machine
# disturbs least).
measure() {
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%M %U %S' -o "$work/time.out" "$@" >"$work/cmd.out" 2>&1 || {
    cat "$work/cmd.out" >&2
    return 1
  }
  local end=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')" \
    "$(tail -n 1 "$work/time.out" | awk '{ printf "%d %.2f", $1, $2 + $3 }')"
}

run_command() {
  local binary=$1 dir=$2 state=$3 backend=$4
  (cd "$dir/inst" && ZAREZODUD_REGISTRY_DIR="$dir/registry" ZAREZODUD_OUTPUT_DIR="$dir/output" \
    ZAREZODUD_ODBC_DRIVER=FreeTDS ZAREZODUD_PASSWORD="$password" \
    measure "$binary" run Bench --params params.ini --state-dir "$state" ${backend:+--backend "$backend"})
}

# The floor that one durable record per script puts under the run: what an append and its
# fdatasync cost on the disk of the state directory, measured now.
sync_ms=$(python3 - "$work" <<'EOF'
import os, sys, time
path = os.path.join(sys.argv[1], "sync.probe")
fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o600)
n = 200
start = time.perf_counter()
for _ in range(n):
    os.write(fd, b"x" * 200)
    os.fdatasync(fd)
print("%.3f" % (1000 * (time.perf_counter() - start) / n))
os.close(fd)
os.unlink(path)
EOF
)
echo "append + fdatasync on the state directory's disk: $sync_ms ms"

declare -A wall fastwall rss record recordcpu
printf '%-8s %7s %11s %11s %11s %7s %7s %10s %11s %11s\n' binary scripts 'run ms/scr' 'tmpfs ms' 'bsqldb ms' \
  ratio 'tmpfs r' 'peak RSS' 'record us' 'rec cpu us'
for count in "${counts[@]}"; do
  base="$work/n$count"
  make_tree "$base" "$count"
  make_batch "$base" "$count"
  read -r bs_wall _ < <(TDSVER=7.4 TDSPORT=$port measure bsqldb -S 127.0.0.1 -U sa -P "$password" -D Corehub \
    -i "$base/all.sql" -o /dev/null)
  for item in "${binaries[@]}"; do
    name=${item%%=*}
    binary=${item#*=}
    dir="$base/$name"
    mkdir -p "$dir/registry"
    cp -r "$base/inst" "$dir/inst"
    # The journal on the disk, with its fdatasync per script.
    read -r w m < <(run_command "$binary" "$dir" "$dir/state" "")
    rm -rf "$dir/inst/logs"/* "$dir/output"
    # The same with the state directory on tmpfs: everything but the disk's latency.
    fastdir="$fast/n$count-$name"
    mkdir -p "$fastdir"
    read -r fw _ < <(run_command "$binary" "$dir" "$fastdir/state" "")
    rm -rf "$fastdir" "$dir/inst/logs"/* "$dir/output"
    # Bookkeeping alone: no database, the state directory and record file on tmpfs.
    mkdir -p "$fastdir"
    read -r rw _ rc < <(run_command "$binary" "$dir" "$fastdir/state" "record:$fastdir/record")
    rm -rf "$fastdir" "$dir/inst/logs"/* "$dir/output"
    wall[$name,$count]=$w
    fastwall[$name,$count]=$fw
    rss[$name,$count]=$m
    record[$name,$count]=$rw
    recordcpu[$name,$count]=$rc
    awk -v n="$name" -v c="$count" -v w="$w" -v f="$fw" -v b="$bs_wall" -v m="$m" -v r="$rw" -v rc="$rc" 'BEGIN {
      printf "%-8s %7d %11.3f %11.3f %11.3f %7.2f %7.2f %7d kB %11.1f %11.1f\n", n, c, 1000*w/c, 1000*f/c,
             1000*b/c, w/b, f/b, m, 1e6*r/c, 1e6*rc/c }'
  done
done
if [[ ${#counts[@]} -gt 1 ]]; then
  echo "marginal cost per script between counts (start-up removed):"
  for item in "${binaries[@]}"; do
    name=${item%%=*}
    for ((i = 1; i < ${#counts[@]}; ++i)); do
      a=${counts[i-1]} b=${counts[i]}
      awk -v n="$name" -v a="$a" -v b="$b" -v wa="${wall[$name,$a]}" -v wb="${wall[$name,$b]}" \
        -v fa="${fastwall[$name,$a]}" -v fb="${fastwall[$name,$b]}" \
        -v ra="${record[$name,$a]}" -v rb="${record[$name,$b]}" -v ma="${rss[$name,$a]}" -v mb="${rss[$name,$b]}" \
        -v ca="${recordcpu[$name,$a]}" -v cb="${recordcpu[$name,$b]}" \
        'BEGIN { printf "%-8s %6d -> %-6d run %.3f ms, tmpfs %.3f ms, record %.1f us (CPU %.1f us) per script; RSS x%.2f\n",
                 n, a, b, 1000*(wb-wa)/(b-a), 1000*(fb-fa)/(b-a), 1e6*(rb-ra)/(b-a), 1e6*(cb-ca)/(b-a), mb/ma }'
    done
  done
fi
