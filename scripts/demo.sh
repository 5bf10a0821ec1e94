#!/usr/bin/env bash
# Installs what is missing, builds, and runs the zarezodud command on the shipped example.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build
zz=build/cli/zarezodud
echo "\$ zarezodud products --product-config examples/ProductConfig.ini"
"$zz" products --product-config examples/ProductConfig.ini
echo
echo "\$ zarezodud validate --params examples/params.ini UpgradeDB"
"$zz" validate --params examples/params.ini UpgradeDB
echo
echo "\$ zarezodud plan --params examples/params.ini UpgradeDB"
"$zz" plan --params examples/params.ini UpgradeDB
echo
echo "\$ zarezodud plan --params examples/params.ini PreUpgrade --json"
"$zz" plan --params examples/params.ini PreUpgrade --json

# The example upgrade for real, through the FreeTDS ODBC driver, against the SQL Server
# protocol test peer (tests/tds_peer/), which stands in for SQL Server here. The peer, its
# databases, the registry, logs and reports all live in a temporary directory that goes
# with the demo; only the summaries are shown unless something fails.
echo
echo "\$ zarezodud run --params examples/peer/params.ini UpgradeDB, then PreUpgrade (against the test peer)"
work=$(mktemp -d)
peer_pid=
cleanup() {
  if [[ -n "$peer_pid" ]]; then
    kill "$peer_pid" 2>/dev/null || true
    wait "$peer_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
peer_password="Demo-$RANDOM-$RANDOM"
python3 tests/tds_peer/tds_peer.py --user sa --password "$peer_password" --state-dir "$work/peer" \
  >"$work/peer.out" 2>"$work/peer.err" &
peer_pid=$!
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$work/peer.out")
  [[ -n "$port" ]] && break
  sleep 0.2
done
if [[ -z "$port" ]]; then
  echo "the test peer did not start:" >&2
  cat "$work/peer.err" >&2
  exit 1
fi
cp -r examples/peer "$work/inst"
rm -rf "$work/inst/logs" "$work/inst/state"
run_against_peer() {
  ZAREZODUD_REGISTRY_DIR="$work/registry" ZAREZODUD_OUTPUT_DIR="$work/output" ZAREZODUD_ODBC_DRIVER=FreeTDS \
    ZAREZODUD_PASSWORD="$peer_password" "$root/$zz" "$@"
}
mkdir -p "$work/registry"
# Scripts of one second or more go to the script-time log.
run_against_peer registry set Database nScriptExecutionThreshold --number 1 >/dev/null
for phase in UpgradeDB PreUpgrade; do
  if ! run_against_peer run "$phase" --params "$work/inst/params.ini" --set "SQLInstance=127.0.0.1,$port" \
    --state-dir "$work/state" >"$work/run.out" 2>&1; then
    cat "$work/run.out" >&2
    echo "--- upgrade log:" >&2
    tail -n 20 "$work/inst/logs/upgrade.log" >&2 || true
    exit 1
  fi
  grep '^Phase \[' "$work/run.out"
done
echo "Scripts that took 1 s or more (script-time log): $(grep -c ' secs$' "$work/inst/logs/ScriptTime.log" || true)"
