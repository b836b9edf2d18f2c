#!/usr/bin/env bash
# monolook.exe in wine's console. tmux gives wine a terminal: in each tmux session wine's
# cmd.exe runs a batch file that sets the console's code page with chcp, runs
# monolook.exe on the sample picture and then prints a line saying that it ended and
# with which status. Once that line is on the screen, everything monolook.exe wrote is
# there above it, and the screen is read back with capture-pane. Under each code page
# every row of the picture must show U+2588 FULL BLOCK where the pixel is set and a
# blank cell where it is clear.
#
#   wine_console_test.sh
#
# ctest sets WINE (the wine loader of the program's kind: wine64, or wine32's wine),
# WINE_PACKAGE (the Debian package that has it), MONOLOOK_EXE, SAMPLE and BMP_REFERENCE
# (with BMP_REFERENCE_RUNNER, the same loader). Exits 77, which ctest counts as skipped,
# when wine or tmux is not installed.
#
# The wine prefix is the test's own, made in its temporary folder, as the test stops the
# prefix's wineserver when it ends. The tmux server is private (its own socket, no
# configuration file). On every way out both are stopped, the tmux server through its
# socket and the wineserver with WINEPREFIX set, and the folder is removed.
set -uo pipefail
export LC_ALL=C WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

readonly CODE_PAGES=(437 852 65001)
readonly BLOCK=$'\xE2\x96\x88'  # U+2588 FULL BLOCK, as capture-pane writes it (UTF-8)
readonly BOOT_SECONDS=600       # wineboot in a fresh prefix
readonly RUN_STEPS=600          # 0.2 s each: how long one code page's run may take
readonly AUTHOR_LINE="Autor: Bc. Bremik Sotnar  - K52R7716T"

wineserver=$(dirname "${WINE:-/usr/lib/wine/wine}")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
if [ ! -x "${WINE:-}" ] || [ -z "$wineserver" ]; then
  echo "the wine loader ${WINE:-} is not installed (Debian package ${WINE_PACKAGE:-wine64}): skipped"
  exit 77
fi
if ! command -v tmux >/dev/null; then
  echo "tmux is not installed (Debian package tmux): skipped"
  exit 77
fi

for variable in MONOLOOK_EXE SAMPLE; do
  if [ -z "${!variable:-}" ]; then
    echo "FAIL: $variable is not set (ctest sets it)"
    exit 1
  fi
done
here=$(cd "$(dirname "$0")" && pwd)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/monowinecon-XXXXXX")
socket="$work/tmux.socket"
export WINEPREFIX="$work/wine-prefix"
terminal() { LANG=C.UTF-8 LC_ALL=C.UTF-8 tmux -u -S "$socket" -f /dev/null "$@"; }
stop_everything() {
  local server_dir=""
  terminal kill-server >/dev/null 2>&1
  if [ -d "$WINEPREFIX" ]; then
    # The prefix names the wineserver's folder below the temporary folder, which the
    # server leaves behind.
    if [ -r "$WINEPREFIX/wineserver" ]; then server_dir=$(cat "$WINEPREFIX/wineserver"); fi
    "$wineserver" -k >/dev/null 2>&1
    "$wineserver" -w >/dev/null 2>&1
  fi
  if [[ "$server_dir" =~ ^wine-[A-Za-z0-9]+$ ]]; then rm -rf "${TMPDIR:-/tmp}/$server_dir"; fi
  rm -rf "$work"
}
trap stop_everything EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# What the picture rows must show, from the tests' reading of the sample apart from the
# programs: PICTURE holds one string per row, WIDTH is the picture's width in pixels.
read_sample() {
  # shellcheck source=bmp_reference.sh
  source "$here/bmp_reference.sh"
  bmp_load "$SAMPLE"
  WIDTH=$(bmp_width)
  mapfile -t PICTURE < <(bmp_drawing "$BLOCK")
}
# A folder holding the sample, monolook.exe and the batch file cmd.exe runs.
folder="$work/look"
mkdir "$folder"
cp "$SAMPLE" "$folder/intelww4.bmp"
cp "$MONOLOOK_EXE" "$folder/monolook.exe"
printf '%s\r\n' '@echo off' 'chcp %1' 'monolook.exe <nul' \
  'echo [monolook ended with status %ERRORLEVEL% under code page %1]' >"$folder/look.bat"

started=$SECONDS
timeout -k 10 "$BOOT_SECONDS" "$WINE" wineboot --init </dev/null >"$work/boot.log" 2>&1
status=$?
echo "wine: $("$WINE" --version 2>&1); wineboot --init: status $status after $((SECONDS - started)) s"
if [ "$status" -ne 0 ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
  fail "the wine prefix $WINEPREFIX was not made"
  tail -30 "$work/boot.log" | cat -v
  exit 1
fi
# The reference tool is a Windows program too: it runs once the prefix is made.
read_sample
rows=${#PICTURE[@]}

# The server stays up between the sessions, until it is stopped.
terminal start-server \; set-option -g exit-empty off \; set-option -g status off
for page in "${CODE_PAGES[@]}"; do
  started=$SECONDS
  # The shell stays after cmd.exe has ended, so the screen can be read whole.
  command="env WINEPREFIX=$(printf '%q' "$WINEPREFIX") WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='"
  command+=" LANG=C.UTF-8 LC_ALL=C.UTF-8 $(printf '%q' "$WINE") cmd.exe /c look.bat $page"
  command+="; exec sleep $((RUN_STEPS / 5 + 60))"
  # Wider than the picture: a row exactly as wide as the console would wrap.
  if ! terminal new-session -d -s "cp$page" -x $((WIDTH + 8)) -y 50 -c "$folder" "$command"; then
    fail "code page $page: tmux could not start a session"
    continue
  fi
  screen="$work/screen.$page"
  steps=0
  until terminal capture-pane -p -N -S - -E - -t "cp$page" >"$screen" 2>/dev/null &&
    grep -q '^\[monolook ended with status .* under code page .*\]' "$screen"; do
    if ((++steps > RUN_STEPS)); then
      fail "code page $page: monolook.exe did not end in wine's console; the screen:"
      cat -v "$screen"
      break
    fi
    sleep 0.2
  done
  ((steps > RUN_STEPS)) && continue

  grep -q "^Active code page: $page\$" "$screen" || fail "code page $page: chcp did not report it"
  ended=$(sed -n 's/^\[monolook ended with status \(.*\) under code page \(.*\)\]$/\1 \2/p' "$screen")
  [ "$ended" = "0 $page" ] || fail "code page $page: the batch file reports status and code page '$ended'"

  # The picture rows: the `rows` screen rows that end one row above the author line.
  mapfile -t shown <"$screen"
  author=-1
  for i in "${!shown[@]}"; do
    if [ "${shown[i]}" = "$AUTHOR_LINE" ]; then author=$i; fi
  done
  if ((author < rows + 1)); then
    fail "code page $page: no author line below a picture of $rows rows; the screen:"
    cat -v "$screen"
    continue
  fi
  first=$((author - 1 - rows))
  right=0
  told=0
  for ((row = 0; row < rows; row++)); do
    # Wine's console leaves the blank cells at a row's end unwritten.
    line=${shown[first + row]}
    line=${line%"${line##*[! ]}"}
    expected=${PICTURE[row]}
    expected=${expected%"${expected##*[! ]}"}
    if [ "$line" = "$expected" ]; then
      right=$((right + 1))
    elif ((++told <= 3)); then
      printf '  row %d shown:    [%s]\n  row %d expected: [%s]\n' "$row" "$line" "$row" "$expected"
    fi
  done
  if ((right != rows)); then
    fail "code page $page: $right of $rows picture rows show blocks and blanks as the pixels are"
  else
    echo "code page $page: all $rows picture rows show U+2588 where a pixel is set, a blank where not" \
      "($((SECONDS - started)) s)"
  fi
done

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
