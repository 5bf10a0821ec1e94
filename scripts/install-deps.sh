#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running the engine need.
# Idempotent and silent when everything is already installed. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git
  libboost-regex-dev libboost-dev libspdlog-dev libfmt-dev libpugixml-dev libssl-dev
  libcli11-dev nlohmann-json3-dev unixodbc unixodbc-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  tdsodbc freetds-bin libsqliteodbc odbc-postgresql postgresql-15
  python3 clang libclang-rt-14-dev cppcheck clang-tidy time
  dpkg-dev help2man lintian man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Node.js and npm run the independent TDS client (tedious) that checks the protocol test
# peer. Debian's packages are used unless the commands are already there (a Node.js installed
# otherwise brings its own npm, which Debian's npm package would conflict with).
node_missing=()
command -v node >/dev/null 2>&1 || node_missing+=(nodejs)
command -v npm >/dev/null 2>&1 || node_missing+=(npm)
if ((${#node_missing[@]})); then
  echo "Installing: ${node_missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${node_missing[@]}" >/dev/null
fi

# The client's npm packages, exactly as pinned by the lockfile; skipped while the installed
# tree matches it.
conformance="$(cd "$(dirname "$0")/.." && pwd)/tests/tds_peer/conformance"
stamp="$conformance/node_modules/.installed-from-lock"
lock_hash=$(sha256sum "$conformance/package-lock.json" | cut -d' ' -f1)
if [[ ! -f "$stamp" || "$(cat "$stamp")" != "$lock_hash" ]]; then
  echo "Installing the npm packages of $conformance"
  (cd "$conformance" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  echo "$lock_hash" >"$stamp"
fi

# The driver packages register themselves with unixODBC; make sure they did, so that a
# connection string naming {FreeTDS}, {SQLite3} or {PostgreSQL Unicode} finds its driver.
register_driver() {
  local name=$1 driver=$2
  if ! odbcinst -q -d -n "$name" >/dev/null 2>&1 && [[ -e "$driver" ]]; then
    printf '[%s]\nDescription=%s\nDriver=%s\n' "$name" "$name" "$driver" | odbcinst -i -d -r >/dev/null
  fi
}
odbc_dir=/usr/lib/x86_64-linux-gnu/odbc
register_driver FreeTDS "$odbc_dir/libtdsodbc.so"
register_driver SQLite3 "$odbc_dir/libsqlite3odbc.so"
register_driver "PostgreSQL Unicode" "$odbc_dir/psqlodbcw.so"
