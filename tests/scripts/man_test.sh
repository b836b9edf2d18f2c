#!/usr/bin/env bash
# The manual pages monolook(1) and monosketch(1): man renders each without a warning
# (and so does groff with every warning on), and the rendered page has its sections,
# every exit status of the program and every message it prints.
#
#   man_test.sh MAN_DIR
#
# Exits 77, which ctest counts as skipped, when man or groff is not installed.
set -uo pipefail
export LC_ALL=C.UTF-8 LANG=C.UTF-8 MANWIDTH=80

man_dir=$1
for tool in man groff; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed (Debian packages man-db and groff-base): skipped"
    exit 77
  fi
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/monoman-XXXXXX")
trap 'rm -rf "$work"' EXIT

readonly SECTIONS=("NAME" "SYNOPSIS" "DESCRIPTION" "EXIT STATUS" "DIAGNOSTICS" "FILES" "SEE ALSO")

# What each page must mention: its exit statuses and the programs' messages, line by line.
readonly WRITE_FAILED="a write to standard output failed"
readonly MONOLOOK_TEXTS=(
  "255 (-1)" "254 (-2)" "$WRITE_FAILED" "intelww4.bmp" "Autor: Bc. Bremik Sotnar - K52R7716T"
  "low 32 bits of the block's address" "a file refused after them gets it before its message"
  "first 12 (OS/2) or 40 (Windows) bytes of its information header" "signed decimals"
  "not a regular file"
  "Chyba soubor nelze otevrit...Program bude ukoncen"
  "Chyba soubor neni jednobitovy nekomprimovany BMP...Program bude ukoncen"
  "Chyba soubor je poskozeny nebo zkraceny...Program bude ukoncen"
  "Chyba nedostatek pameti...Program bude ukoncen"
  "Chyba nelze uzavrit soubor..."
)
readonly MONOSKETCH_TEXTS=(
  "255 (-1)" "$WRITE_FAILED" "intelww4.bmp" "not a regular file"
  'C:\Users\trebl\Documents\Visual Studio 2013\Projects\monosketch\Debug\'
  "Soubor neni mozne otevrit." "Zkontrolujte soubor."
  "Soubor neni jednobitovy nekomprimovany BMP."
  "Soubor je poskozeny nebo zkraceny."
  "Pamet neni dostatecna" "Program musi byt ukoncen"
  "Soubor neuzavren" "Provedte kontrolu"
)

# check_page NAME TEXT...: renders NAME.1 and looks for its sections and the TEXTs.
check_page() {
  local name=$1 page="$man_dir/$1.1" rendered="$work/$1.txt" flat text section before=$failures
  shift
  if [ ! -f "$page" ]; then
    fail "$page is missing"
    return
  fi
  if ! man --warnings -l "$page" >"$rendered" 2>"$work/man.err"; then fail "$name: man -l failed"; fi
  if [ -s "$work/man.err" ]; then
    fail "$name: man -l warned:"
    cat "$work/man.err"
  fi
  if ! groff -man -ww -z "$page" 2>"$work/groff.err"; then fail "$name: groff failed"; fi
  if [ -s "$work/groff.err" ]; then
    fail "$name: groff -ww warned:"
    cat "$work/groff.err"
  fi
  grep -q "^${name^^}(1) " "$rendered" || fail "$name: no ${name^^}(1) heading"
  for section in "${SECTIONS[@]}"; do
    grep -qx "$section" "$rendered" || fail "$name: no $section section"
  done
  # The running text, one line, spaces squeezed: filled lines break and widen spaces anywhere.
  flat=$(tr -s ' \n' '  ' <"$rendered")
  for text in "$@"; do
    text=$(printf '%s' "$text" | tr -s ' ')
    [[ "$flat" == *"$text"* ]] || fail "$name: does not mention '$text'"
  done
  if ((failures == before)); then
    echo "$name(1): $(wc -l <"$rendered") lines at $MANWIDTH columns, no warnings, every message"
  fi
}

check_page monolook "${MONOLOOK_TEXTS[@]}"
check_page monosketch "${MONOSKETCH_TEXTS[@]}"

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
