#!/usr/bin/env bash
# Writes the manual page zarezodud(1) from the command's own help, with help2man: the main
# help and version become NAME, SYNOPSIS and DESCRIPTION; the help of every subcommand (and
# of their subcommands) becomes a section SUBCOMMANDS; ENVIRONMENT, FILES and SEE ALSO come
# from packaging/zarezodud.h2m.
#   scripts/make-manpage.sh BINARY OUTPUT.1
set -euo pipefail
[[ $# -eq 2 ]] || { echo "usage: $0 BINARY OUTPUT.1" >&2; exit 64; }
binary=$1
output=$2
root=$(cd "$(dirname "$0")/.." && pwd)
command -v help2man >/dev/null || { echo "help2man is not installed (Debian package help2man)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Subcommand names from a help text: the lines of its "Subcommands:" block.
subcommands() {
  "$binary" "$@" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1; next } on && !/^  / { on = 0 }'
}

# Help text as roff: literal lines, with backslashes and leading dots or quotes escaped.
as_roff() {
  echo '.nf'
  sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"
  echo '.fi'
}

{
  echo '[SUBCOMMANDS]'
  for sub in $(subcommands); do
    echo ".SS \"zarezodud $sub\""
    "$binary" "$sub" --help | as_roff
    for child in $(subcommands "$sub"); do
      echo ".SS \"zarezodud $sub $child\""
      "$binary" "$sub" "$child" --help | as_roff
    done
  done
  echo
  cat "$root/packaging/zarezodud.h2m"
} >"$work/include.h2m"

help2man --no-info --section=1 --source="zarezodud" --manual="User Commands" \
  --name="validate, plan and run database upgrade phases" \
  --include="$work/include.h2m" --output="$work/page.1" "$binary"
mv "$work/page.1" "$output"
