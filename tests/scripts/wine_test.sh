#!/usr/bin/env bash
# End-to-end tests of the Windows programs, monolook.exe and monosketch.exe, under wine.
#
#   wine_test.sh CASE
#
#   setup                     makes a fresh wine prefix (its first start runs wineboot, the slow part)
#   cleanup                   stops that prefix's wineserver and removes the prefix
#   sketch-draws-the-sample   monosketch.exe reads its fixed path on drive C: and draws
#   sketch-failures           its messages and exit status when that file is missing or refused
#   sketch-close-failure      a build whose fclose fails: the picture, then the message
#   look-inspects-the-sample  monolook.exe in a folder with the sample: report, listing, blocks, author
#   look-failures             its messages and exit status for a missing or refused file
#   look-waits-for-a-key      after a failure the message stays until a key arrives
#   look-close-failure        a build whose fclose fails: everything, then the message and -2
#
# ctest sets WINE64 (the wine64 loader), WINEPREFIX, MONOLOOK_EXE, MONOSKETCH_EXE,
# MONOLOOK_CLOSE_FAILS_EXE, MONOSKETCH_CLOSE_FAILS_EXE and SAMPLE.
#
# Windows writes text-mode output with CR LF line ends. Each run's output is checked
# to end every line with CR LF, then compared line by line, exactly, with what an
# independent reading of the picture (bmp_reference.sh) says it must be. The listing's
# address changes from run to run and is masked.
set -uo pipefail
export LC_ALL=C WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bmp_reference.sh
source "$here/bmp_reference.sh"

readonly RUN_SECONDS=120     # one program run; generous, wine may start its server first
readonly BOOT_SECONDS=600    # wineboot in a fresh prefix
readonly BLOCK=$'\xDB'       # the full block of code pages 437 and 852
readonly SKETCH_FOLDER="users/trebl/Documents/Visual Studio 2013/Projects/monosketch/Debug"

readonly SKETCH_CANNOT_OPEN=$'Soubor neni mozne otevrit.\n\nZkontrolujte soubor.\n'
readonly SKETCH_NOT_MONOCHROME=$'Soubor neni jednobitovy nekomprimovany BMP.\n\nZkontrolujte soubor.\n'
readonly SKETCH_DAMAGED=$'Soubor je poskozeny nebo zkraceny.\n\nZkontrolujte soubor.\n'
readonly SKETCH_NOT_CLOSED=$'Soubor neuzavren\nProvedte kontrolu\n'
readonly LOOK_CANNOT_OPEN='Chyba soubor nelze otevrit...Program bude ukoncen'
readonly LOOK_NOT_MONOCHROME='Chyba soubor neni jednobitovy nekomprimovany BMP...Program bude ukoncen'
readonly LOOK_DAMAGED='Chyba soubor je poskozeny nebo zkraceny...Program bude ukoncen'
readonly LOOK_NOT_CLOSED='Chyba nelze uzavrit soubor...'

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/monowine-XXXXXX")
trap 'rm -rf "$work"' EXIT
printf '\n' >"$work/enter"

wineserver_of() {
  local beside
  beside=$(dirname "$WINE64")/wineserver
  if [ -x "$beside" ]; then echo "$beside"; else command -v wineserver; fi
}

# A fresh, empty working folder for one run.
new_folder() {
  local folder
  folder=$(mktemp -d "$work/run-XXXXXX")
  echo "$folder"
}

# run EXE FOLDER INPUT: runs EXE under wine in FOLDER with INPUT as standard input;
# leaves standard output in $work/out, standard error in $work/err, the status in STATUS.
run() {
  (cd "$2" && exec timeout -k 10 "$RUN_SECONDS" "$WINE64" "$1" <"$3" >"$work/out" 2>"$work/err")
  STATUS=$?
  if [ "$STATUS" -eq 124 ]; then echo "note: timed out after $RUN_SECONDS s"; fi
}

# expect WHAT EXPECTED_TEXT EXPECTED_STATUS: checks the last run.
expect() {
  local what=$1 expected=$2 status=$3 lf cr plain
  if [ "$STATUS" -ne "$status" ]; then fail "$what: exit status $STATUS, expected $status"; fi
  lf=$(tr -cd '\n' <"$work/out" | wc -c)
  cr=$(tr -cd '\r' <"$work/out" | wc -c)
  plain="$work/out.lines"
  sed 's/\r$//' "$work/out" | sed 's/^\(Memory starting at 0x\)[0-9A-F]\{8\}:/\1XXXXXXXX:/' >"$plain"
  if [ "$cr" -ne "$lf" ] || [ $(($(wc -c <"$work/out") - $(wc -c <"$plain"))) -ne "$lf" ]; then
    fail "$what: $lf line ends, $cr CRs: not every line ends with CR LF"
  else
    if [ "$lf" -eq 0 ]; then echo "$what: no line ends"; else echo "$what: $lf line ends, every one CR LF"; fi
  fi
  printf '%s' "$expected" >"$work/expected"
  if ! cmp -s "$work/expected" "$plain"; then
    fail "$what: output differs (- expected, + printed, CR LF taken as line ends):"
    diff -u "$work/expected" "$plain" | head -60 | cat -v
    if [ -s "$work/err" ]; then echo "standard error:"; head -20 "$work/err" | cat -v; fi
  fi
}

# capture NAME COMMAND...: sets NAME to what COMMAND prints, trailing line ends included.
capture() {
  local text
  text=$("${@:2}"; printf .)
  printf -v "$1" '%s' "${text%.}"
}

need_wine() {
  if [ ! -x "${WINE64:-}" ]; then
    echo "FAIL: wine64 is not installed (Debian package wine64; CMake looked for it as WINE64)"
    exit 1
  fi
}

sketch_file() { echo "$WINEPREFIX/drive_c/$SKETCH_FOLDER/intelww4.bmp"; }

# Makers of the picture file at PATH for the failure tables.
put_nothing() { rm -rf "$1"; }
put_sample() { rm -rf "$1" && cp "$SAMPLE" "$1"; }
put_folder() { rm -rf "$1" && mkdir "$1"; }
put_text() { rm -rf "$1" && printf 'hello\n' >"$1"; }
put_cut_sample() { rm -rf "$1" && head -c $(($(wc -c <"$SAMPLE") - 1)) "$SAMPLE" >"$1"; }
put_eight_bit_sample() {  # the sample with 8 bits per pixel in its information header
  put_sample "$1" && printf '\010' | dd of="$1" bs=1 seek=28 conv=notrunc status=none
}

case_setup() {
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  echo "wine: $("$WINE64" --version 2>&1)"
  local started=$SECONDS
  timeout -k 10 "$BOOT_SECONDS" "$WINE64" wineboot --init </dev/null >"$work/boot.log" 2>&1
  local status=$?
  echo "wineboot --init: status $status after $((SECONDS - started)) s"
  if [ "$status" -ne 0 ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
    fail "the wine prefix $WINEPREFIX was not made"
    cat -v "$work/boot.log" | tail -30
  fi
  mkdir -p "$WINEPREFIX/drive_c/$SKETCH_FOLDER" || fail "cannot make monosketch's folder on drive C:"
}

case_cleanup() {
  local server_dir=""
  if [ -d "$WINEPREFIX" ]; then
    # The prefix names the wineserver's folder below the temporary folder, which
    # the server leaves behind.
    if [ -r "$WINEPREFIX/wineserver" ]; then server_dir=$(cat "$WINEPREFIX/wineserver"); fi
    "$(wineserver_of)" -k >/dev/null 2>&1
    "$(wineserver_of)" -w >/dev/null 2>&1
  fi
  if [[ "$server_dir" =~ ^wine-[A-Za-z0-9]+$ ]]; then rm -rf "${TMPDIR:-/tmp}/$server_dir"; fi
  rm -rf "$WINEPREFIX"
  if [ -e "$WINEPREFIX" ]; then fail "the wine prefix $WINEPREFIX is still there"; fi
}

case_sketch_draws_the_sample() {
  put_sample "$(sketch_file)"
  bmp_load "$SAMPLE"
  local drawing
  capture drawing bmp_drawing @
  run "$MONOSKETCH_EXE" "$(new_folder)" /dev/null
  expect "monosketch.exe, sample at its fixed path" "$drawing" 0
}

# sketch_failure WHAT MAKER MESSAGE: monosketch.exe with its fixed file made by MAKER,
# run in a folder that holds the sample (which it must not read).
sketch_failure() {
  local folder
  folder=$(new_folder)
  cp "$SAMPLE" "$folder/intelww4.bmp"
  "$2" "$(sketch_file)"
  run "$MONOSKETCH_EXE" "$folder" /dev/null
  expect "monosketch.exe, $1" "$3" 255
}

case_sketch_failures() {
  sketch_failure "no file at its fixed path" put_nothing "$SKETCH_CANNOT_OPEN"
  sketch_failure "a folder at its fixed path" put_folder "$SKETCH_CANNOT_OPEN"
  sketch_failure "a text file" put_text "$SKETCH_NOT_MONOCHROME"
  sketch_failure "eight bits per pixel" put_eight_bit_sample "$SKETCH_NOT_MONOCHROME"
  sketch_failure "pixels cut short" put_cut_sample "$SKETCH_DAMAGED"
}

case_sketch_close_failure() {
  put_sample "$(sketch_file)"
  bmp_load "$SAMPLE"
  local drawing
  capture drawing bmp_drawing @
  run "$MONOSKETCH_CLOSE_FAILS_EXE" "$(new_folder)" /dev/null
  expect "monosketch.exe whose fclose fails" "$drawing$SKETCH_NOT_CLOSED" 255
}

case_look_inspects_the_sample() {
  local folder inspection
  folder=$(new_folder)
  cp "$SAMPLE" "$folder/intelww4.bmp"
  bmp_load "$SAMPLE"
  capture inspection bmp_inspection "$BLOCK"
  run "$MONOLOOK_EXE" "$folder" /dev/null
  expect "monolook.exe on the sample" "$inspection" 0
}

# look_failure WHAT MAKER INPUT REPORT MESSAGE: monolook.exe in a folder whose
# intelww4.bmp MAKER made; REPORT is "report" when the header report comes first.
look_failure() {
  local folder expected=""
  folder=$(new_folder)
  "$2" "$folder/intelww4.bmp"
  if [ "$4" = report ]; then
    bmp_load "$folder/intelww4.bmp"
    capture expected bmp_report
  fi
  run "$MONOLOOK_EXE" "$folder" "$3"
  expect "monolook.exe, $1" "$expected$5" 255
}

case_look_failures() {
  local enter="$work/enter"
  look_failure "no file, Enter pressed" put_nothing "$enter" - "$LOOK_CANNOT_OPEN"
  look_failure "no file, input at its end" put_nothing /dev/null - "$LOOK_CANNOT_OPEN"
  look_failure "a folder in place of the file" put_folder "$enter" - "$LOOK_CANNOT_OPEN"
  look_failure "a text file" put_text "$enter" - "$LOOK_NOT_MONOCHROME"
  look_failure "eight bits per pixel" put_eight_bit_sample "$enter" report "$LOOK_NOT_MONOCHROME"
  look_failure "pixels cut short" put_cut_sample "$enter" report "$LOOK_DAMAGED"
}

case_look_waits_for_a_key() {
  local folder pid waited=0 status
  folder=$(new_folder)
  mkfifo "$work/keys"
  (cd "$folder" && exec timeout -k 10 "$RUN_SECONDS" "$WINE64" "$MONOLOOK_EXE" <"$work/keys" >"$work/out" 2>"$work/err") &
  pid=$!
  exec 3>"$work/keys"  # holds the input open: no key yet
  until grep -q 'Program bude ukoncen' "$work/out" 2>/dev/null || ((waited >= 5 * RUN_SECONDS)); do
    sleep 0.2
    waited=$((waited + 1))
  done
  sleep 1
  if kill -0 "$pid" 2>/dev/null; then
    echo "monolook.exe, no file: the message stands and the program waits"
  else
    fail "monolook.exe, no file: ended before a key arrived"
  fi
  printf '\n' >&3
  exec 3>&-
  wait "$pid"
  STATUS=$?
  expect "monolook.exe, no file, a key pressed later" "$LOOK_CANNOT_OPEN" 255
}

case_look_close_failure() {
  local folder inspection
  folder=$(new_folder)
  cp "$SAMPLE" "$folder/intelww4.bmp"
  bmp_load "$SAMPLE"
  capture inspection bmp_inspection "$BLOCK"
  run "$MONOLOOK_CLOSE_FAILS_EXE" "$folder" "$work/enter"
  expect "monolook.exe whose fclose fails" "$inspection$LOOK_NOT_CLOSED" 254
}

main() {
  need_wine
  local name=${1:-}
  case "$name" in
    setup | cleanup | sketch-draws-the-sample | sketch-failures | sketch-close-failure | \
      look-inspects-the-sample | look-failures | look-waits-for-a-key | look-close-failure)
      "case_${name//-/_}"
      ;;
    *)
      echo "usage: $0 CASE (see the head of this script)"
      exit 2
      ;;
  esac
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
}

main "$@"
