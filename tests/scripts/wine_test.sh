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
#   large-array-out-of-memory         a pixel array of more than 4 GiB: both programs say that
#                                     memory runs out (monolook after its report); 32-bit only
#   large-pixels-beyond-2-and-4-gib   pixels from 16 bytes before the file's 4 GiB mark: both draw them
#
# ctest sets WINE (the wine loader of the programs' kind: wine64, or wine32's wine),
# WINE_PACKAGE (the Debian package that has it), WINE_PROGRAM_BITS (32 or 64), WINEPREFIX,
# MONOLOOK_EXE, MONOSKETCH_EXE, MONOLOOK_CLOSE_FAILS_EXE, MONOSKETCH_CLOSE_FAILS_EXE, SAMPLE
# and BMP_REFERENCE (with BMP_REFERENCE_RUNNER, the same loader).
#
# Windows writes text-mode output with CR LF line ends. Each run's output is checked
# to end every line with CR LF, then compared line by line, exactly, with what an
# independent reading of the picture (bmp_reference.sh) says it must be. The listing's
# address changes from run to run and is masked.
#
# The large pictures are sparse files longer than 4 GiB: their headers and pixel bytes are
# written, the rest is a hole that reads as zeros and takes no disk. The reference tool
# reads a whole file into memory, which for these would be slow, and impossible for a
# 32-bit one. It is asked for the drawing and the listing of a small file that holds the
# same headers and pixel bytes, the pixels right after the headers, and for the header
# report of the large file's first 62 bytes: the report reads the headers alone.
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
readonly SKETCH_NO_MEMORY=$'Pamet neni dostatecna\nProgram musi byt ukoncen\n'
readonly LOOK_NO_MEMORY='Chyba nedostatek pameti...Program bude ukoncen'
readonly FOUR_GIB=$((1 << 32))
# What a run on a large picture may print; one that went on to list or draw a picture of
# gigabytes is cut off there.
readonly MOST_OUTPUT=$((64 * 1024))

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/monowine-XXXXXX")
# A large picture put at monosketch.exe's fixed path is removed with the folder.
large_sketch_file=""
remove_work() {
  if [ -n "$large_sketch_file" ]; then rm -f "$large_sketch_file"; fi
  rm -rf "$work"
}
trap remove_work EXIT
printf '\n' >"$work/enter"

wineserver_of() {
  local beside
  beside=$(dirname "$WINE")/wineserver
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
  (cd "$2" && exec timeout -k 10 "$RUN_SECONDS" "$WINE" "$1" <"$3" >"$work/out" 2>"$work/err")
  STATUS=$?
  if [ "$STATUS" -eq 124 ]; then echo "note: timed out after $RUN_SECONDS s"; fi
}

# run_capped EXE FOLDER: runs EXE under wine in FOLDER with its input at its end, as run
# does, but keeps no more than MOST_OUTPUT bytes of what it prints, and stops it there.
run_capped() {
  (cd "$2" && exec timeout -k 10 "$RUN_SECONDS" "$WINE" "$1" </dev/null 2>"$work/err") |
    head -c "$MOST_OUTPUT" >"$work/out"
  STATUS=${PIPESTATUS[0]}
  if [ "$STATUS" -eq 124 ]; then echo "note: timed out after $RUN_SECONDS s"; fi
  if [ "$(wc -c <"$work/out")" -ge "$MOST_OUTPUT" ]; then
    fail "$(basename "$1") printed $MOST_OUTPUT bytes or more, and was stopped"
  fi
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
  if [ ! -x "${WINE:-}" ]; then
    echo "FAIL: the wine loader ${WINE:-} is not installed (Debian package ${WINE_PACKAGE:-wine64}; CMake looked for it as WINE)"
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
  echo "wine: $("$WINE" --version 2>&1)"
  local started=$SECONDS
  timeout -k 10 "$BOOT_SECONDS" "$WINE" wineboot --init </dev/null >"$work/boot.log" 2>&1
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
  (cd "$folder" && exec timeout -k 10 "$RUN_SECONDS" "$WINE" "$MONOLOOK_EXE" <"$work/keys" >"$work/out" 2>"$work/err") &
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

# le COUNT NUMBER: NUMBER as COUNT bytes, least significant first.
le() {
  local i number=$2
  for ((i = 0; i < $1; i++)); do
    printf '%b' "\\x$(printf %02x $((number & 255)))"
    number=$((number >> 8))
  done
}

# headers WIDTH HEIGHT OFFSET LENGTH: the 62 bytes before the pixels of a one-bit picture of
# WIDTH x HEIGHT whose pixels are at OFFSET in a file of LENGTH bytes: the file header (its
# size field holds the low 32 bits of the length), a BITMAPINFOHEADER of 40 bytes (one
# plane, one bit per pixel, no compression, 2835 pixels a metre, two colours) and the
# palette, black and white.
headers() {
  printf 'BM'
  le 4 $(($4 & 0xFFFFFFFF)); le 4 0; le 4 "$3"
  le 4 40; le 4 "$1"; le 4 "$2"; le 2 1; le 2 1; le 4 0; le 4 0; le 4 2835; le 4 2835; le 4 2; le 4 2
  printf '\x00\x00\x00\x00\xff\xff\xff\x00'
}

# large_picture PATH LENGTH HEADERS_FILE [PIXELS_FILE OFFSET]: makes PATH a sparse file of
# LENGTH bytes that starts with the headers and holds the pixels at OFFSET.
large_picture() {
  rm -rf "$1"
  truncate -s "$2" "$1" && dd if="$3" of="$1" conv=notrunc status=none || return 1
  if [ $# -gt 3 ]; then dd if="$4" of="$1" bs=1 seek="$5" conv=notrunc status=none || return 1; fi
}

# compact_picture LARGE SMALL: writes to SMALL the headers of LARGE with the pixels right
# after them (offset 62): the same picture, for the reference tool.
compact_picture() {
  local offset width rows
  offset=$(od -An -tu4 -j10 -N4 "$1" | tr -d ' ')
  width=$(od -An -tu4 -j18 -N4 "$1" | tr -d ' ')
  rows=$(od -An -tu4 -j22 -N4 "$1" | tr -d ' ')
  { head -c 10 "$1"; le 4 62; head -c 62 "$1" | tail -c 48
    dd if="$1" bs=4096 skip="$offset" count=$((4 * ((width + 31) / 32) * rows)) iflag=skip_bytes,count_bytes status=none; } >"$2"
}

# large_report LARGE: the header report of the large picture LARGE, from its first 62 bytes.
large_report() {
  head -c 62 "$1" >"$work/large-headers.bmp"
  bmp_load "$work/large-headers.bmp"
  bmp_report
}

# 65536 x 524289 pixels: 524289 rows of 8192 bytes, 4 GiB and one row more, in a file of
# exactly the length that holds them. A 32-bit program cannot hold them: both must say
# that memory runs out, before allocating anything or reading a pixel.
case_large_array_out_of_memory() {
  if [ "${WINE_PROGRAM_BITS:-}" != 32 ]; then
    echo "skipped: these are ${WINE_PROGRAM_BITS:-?}-bit programs, which can allocate the 4 GiB and 8 KiB of" \
      "pixels and would draw them; the mingw-x86 build's 32-bit programs run this"
    exit 77
  fi
  local folder pixel_bytes=$((8192 * 524289)) length report
  length=$((62 + pixel_bytes))
  folder=$(new_folder)
  headers 65536 524289 62 "$length" >"$work/headers.bmp"
  large_picture "$folder/intelww4.bmp" "$length" "$work/headers.bmp" || { fail "cannot make the large picture"; return; }
  large_sketch_file=$(sketch_file)
  large_picture "$large_sketch_file" "$length" "$work/headers.bmp" || { fail "cannot make the large picture"; return; }
  capture report large_report "$folder/intelww4.bmp"
  run_capped "$MONOSKETCH_EXE" "$(new_folder)"
  expect "monosketch.exe, a pixel array of $pixel_bytes bytes" "$SKETCH_NO_MEMORY" 255
  run_capped "$MONOLOOK_EXE" "$folder"
  expect "monolook.exe, a pixel array of $pixel_bytes bytes" "$report$LOOK_NO_MEMORY" 255
  rm -f "$large_sketch_file" "$folder/intelww4.bmp"
}

# A picture of 40 x 4 pixels whose 32 bytes of pixels start 16 bytes before the file's
# 4 GiB mark: the programs seek beyond 2 GiB, then read across 4 GiB to the file's end.
# Every byte differs from its neighbours and from the zeros around them, so pixels read
# from another place show.
case_large_pixels_beyond_2_and_4_gib() {
  local folder offset=$((FOUR_GIB - 16)) length=$((FOUR_GIB + 16)) drawing inspection report compact_report
  folder=$(new_folder)
  headers 40 4 "$offset" "$length" >"$work/headers.bmp"
  printf '\x80\x40\x20\x10\x08\x04\x02\x01\xc0\x60\x30\x18\x0c\x06\x03\x81' >"$work/pixels"
  printf '\xe0\x70\x38\x1c\x0e\x07\x83\xc1\xff\xfe\xfc\xf8\xf0\xe1\xc3\x87' >>"$work/pixels"
  large_picture "$folder/intelww4.bmp" "$length" "$work/headers.bmp" "$work/pixels" "$offset" ||
    { fail "cannot make the large picture"; return; }
  large_sketch_file=$(sketch_file)
  large_picture "$large_sketch_file" "$length" "$work/headers.bmp" "$work/pixels" "$offset" ||
    { fail "cannot make the large picture"; return; }
  compact_picture "$folder/intelww4.bmp" "$work/compact.bmp"
  cmp -s <(tail -c 32 "$work/compact.bmp") "$work/pixels" || fail "the large picture does not hold its pixels"
  bmp_load "$work/compact.bmp"
  capture drawing bmp_drawing @
  capture compact_report bmp_report
  capture inspection bmp_inspection "$BLOCK"
  capture report large_report "$folder/intelww4.bmp"
  # All that monolook prints for the compact picture, with the large one's report.
  [[ "$inspection" == "$compact_report"* ]] || fail "the reference tool's inspection does not start with its report"
  inspection=$report${inspection#"$compact_report"}
  run_capped "$MONOSKETCH_EXE" "$(new_folder)"
  expect "monosketch.exe, pixels at $offset of $length bytes" "$drawing" 0
  run_capped "$MONOLOOK_EXE" "$folder"
  expect "monolook.exe, pixels at $offset of $length bytes" "$inspection" 0
  rm -f "$large_sketch_file" "$folder/intelww4.bmp"
}

main() {
  need_wine
  local name=${1:-}
  case "$name" in
    setup | cleanup | sketch-draws-the-sample | sketch-failures | sketch-close-failure | \
      look-inspects-the-sample | look-failures | look-waits-for-a-key | look-close-failure | \
      large-array-out-of-memory | large-pixels-beyond-2-and-4-gib)
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
