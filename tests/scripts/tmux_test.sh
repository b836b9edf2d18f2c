#!/usr/bin/env bash
# monolook in a real terminal. tmux runs it on the sample picture in a window exactly
# as wide as the picture, with a UTF-8 client, and the screen is read back with
# capture-pane. Each picture row must take exactly one screen row of `width` cells,
# showing the block where the pixel is set and a blank where it is clear: a block that
# took two cells, or one character too many, would wrap the row onto a second screen
# row. The whole screen is compared too: report, listing (address masked), picture and
# author line, each on its own row, and the exit status 0.
#
#   tmux_test.sh MONOLOOK SAMPLE
#
# Exits 77, which ctest counts as skipped, when tmux is not installed.
set -uo pipefail
export LC_ALL=C

monolook=$(realpath "$1")
sample=$(realpath "$2")
readonly BLOCK=$'\xE2\x96\x88'  # U+2588 FULL BLOCK in UTF-8
readonly WAIT_STEPS=300         # 0.1 s each: how long the program may take to end

if ! command -v tmux >/dev/null; then
  echo "tmux is not installed (Debian package tmux): skipped"
  exit 77
fi

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bmp_reference.sh
source "$here/bmp_reference.sh"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/monotmux-XXXXXX")
socket="$work/tmux.socket"
# A private server on its own socket, stopped and removed on every way out.
terminal() { LANG=C.UTF-8 LC_ALL=C.UTF-8 tmux -u -S "$socket" -f /dev/null "$@"; }
trap 'terminal kill-server >/dev/null 2>&1; rm -rf "$work"' EXIT

mkdir "$work/pictures"
cp "$sample" "$work/pictures/intelww4.bmp"
bmp_load "$sample"
width=$(bmp_width)
rows=$(bmp_rows)

# The shell in the window runs monolook, then writes its exit status on a line of its
# own and keeps the terminal open, so the screen is read whole: once the status line
# shows, everything monolook wrote is on the screen before it.
command="$(printf '%q' "$monolook"); printf '[exit %s]' \$?; exec sleep $((WAIT_STEPS / 10 + 60))"
terminal start-server \; set-option -g status off \; \
  new-session -d -s look -x "$width" -y 100 -c "$work/pictures" "$command"
steps=0
until terminal capture-pane -p -N -S - -E - -t look >"$work/screen.raw" 2>/dev/null &&
  grep -q '^\[exit [0-9]*\]$' "$work/screen.raw"; do
  if ((++steps > WAIT_STEPS)); then
    fail "monolook did not end in tmux"
    break
  fi
  sleep 0.1
done
echo "tmux window: $(terminal display-message -p -t look '#{window_width} x #{window_height}')"
status=$(sed -n 's/^\[exit \([0-9]*\)\]$/\1/p' "$work/screen.raw")
[ "$status" = 0 ] || fail "exit status '$status', expected 0"

# The screen, history included, with trailing blanks kept; the status line and the
# empty rows below the output dropped; the listing's address masked.
sed -e '/^\[exit [0-9]*\]$/d' -e 's/^\(Memory starting at 0x\)[0-9A-F]\{8\}:/\1XXXXXXXX:/' "$work/screen.raw" |
  sed -e ':a' -e '/^\n*$/{$d;N;ba' -e '}' >"$work/screen"
bmp_inspection "$BLOCK" | sed -e ':a' -e '/^\n*$/{$d;N;ba' -e '}' >"$work/expected"

mapfile -t screen <"$work/screen"
mapfile -t expected <"$work/expected"
bmp_drawing "$BLOCK" >"$work/picture"
mapfile -t picture <"$work/picture"

# The picture rows: the `rows` screen rows that end one row above the author line.
author=-1
for i in "${!screen[@]}"; do
  if [ "${screen[i]}" = "Autor: Bc. Bremik Sotnar  - K52R7716T" ]; then author=$i; fi
done
if ((author < rows + 1)); then
  fail "no author line below a picture of $rows rows on the screen"
else
  first=$((author - 1 - rows))
  for ((row = 0; row < rows; row++)); do
    line=${screen[first + row]}
    cells=$(LC_ALL=C.UTF-8 bash -c 'printf %s "${#1}"' _ "$line")
    if [ "$cells" -ne "$width" ]; then
      fail "picture row $row shows $cells cells, expected $width"
    elif [ "$line" != "${picture[row]}" ]; then
      fail "picture row $row: blocks and blanks differ from the pixels"
      printf '  shown:    [%s]\n  expected: [%s]\n' "$line" "${picture[row]}"
    fi
  done
  [ -z "${screen[author - 1]}" ] || fail "no empty row between the picture and the author line"
  [ -z "${screen[first - 1]}" ] || fail "no empty row between the listing and the picture"
fi

if ((${#screen[@]} != ${#expected[@]})); then
  fail "the screen holds ${#screen[@]} rows of output, expected ${#expected[@]}"
fi
if ! cmp -s "$work/expected" "$work/screen"; then
  fail "the screen differs from the expected output (- expected, + shown):"
  diff -u "$work/expected" "$work/screen" | head -60
fi

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "monolook in tmux: $rows picture rows of $width cells each, blocks where the pixels are set; exit status 0"
