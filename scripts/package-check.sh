#!/usr/bin/env bash
# Builds the Debian packages from a build tree and checks them as an administrator would:
# lintian (no error, no warning), apt-get install of the three packages, the installed
# command's version, manual page and completion, a host built against the installed -dev
# package, then apt-get remove again. Needs root (apt-get); the packages are left in
# <build>/packages/.
#   scripts/package-check.sh [BUILD_DIR]     (default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$build/packages"
packages=(libzarezodud1 libzarezodud-dev zarezodud)

rm -rf "$out"
echo "== cpack"
(cd "$build" && cpack -G DEB -B "$out" >"$out.log" 2>&1) || { cat "$out.log"; exit 1; }
debs=()
for p in "${packages[@]}"; do
  deb=$(ls "$out"/"${p}"_*.deb)
  debs+=("$deb")
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Installed-Size) KiB installed"
done

echo "== lintian"
# lintian refuses nothing as root but says so on stderr; the tags go to stdout.
tags=$(lintian --fail-on error,warning "${debs[@]}" 2>/dev/null) || { echo "$tags"; echo "lintian failed"; exit 1; }
if [[ -n "$tags" ]]; then
  echo "$tags"
  grep -qE '^[EW]: ' <<<"$tags" && { echo "lintian reported errors or warnings"; exit 1; }
fi
echo "lintian: no error, no warning"

cleanup() { apt-get remove -y -qq "${packages[@]}" >/dev/null 2>&1 || true; }
trap cleanup EXIT
echo "== apt-get install ${debs[*]##*/}"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >"$out/apt.log" 2>&1 || { cat "$out/apt.log"; exit 1; }
version=$(zarezodud --version)
[[ "$version" == "zarezodud $(dpkg-deb -f "${debs[2]}" Version)" ]] || { echo "unexpected version: $version"; exit 1; }
echo "installed: $version ($(command -v zarezodud))"
man -w zarezodud >/dev/null || { echo "man cannot find zarezodud(1)"; exit 1; }
bash -c 'source /usr/share/bash-completion/completions/zarezodud && complete -p zarezodud' >/dev/null

echo "== host built against the installed libzarezodud-dev"
host=$(mktemp -d)
trap 'rm -rf "$host"; cleanup' EXIT
cmake -S "$root/examples/host" -B "$host/build" -DCMAKE_BUILD_TYPE=Release >"$host/log" 2>&1 &&
  cmake --build "$host/build" -j2 >>"$host/log" 2>&1 || { cat "$host/log"; exit 1; }
linked=$(ldd "$host/build/zarezodud_host")
grep -qE "libzarezodud.so.1 => (/usr)?/lib/x86_64-linux-gnu/libzarezodud.so.1 " <<<"$linked" || { echo "$linked"; exit 1; }
echo "host links $(grep -o 'libzarezodud.so.1 => [^ ]*' <<<"$linked")"

echo "== apt-get remove"
apt-get remove -y -qq "${packages[@]}" >"$out/apt.log" 2>&1 || { cat "$out/apt.log"; exit 1; }
if command -v zarezodud >/dev/null || [[ -e /usr/lib/x86_64-linux-gnu/libzarezodud.so.1 ]]; then
  echo "files left behind after removal"
  exit 1
fi
echo "packages removed"
