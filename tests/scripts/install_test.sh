#!/usr/bin/env bash
# `cmake --install` of a build into an empty folder puts the two programs in bin/
# and their manual pages in share/man/man1/, and nothing else. A Windows build
# (EXECUTABLE_SUFFIX .exe) puts the two programs, README.md and LICENSE in the
# folder itself, and nothing else: the files of the Windows zip.
#
#   install_test.sh CMAKE BUILD_DIR CONFIG EXECUTABLE_SUFFIX SOURCE_DIR
set -uo pipefail

cmake=$1
build=$2
config=$3
suffix=$4
source_dir=$5
man_dir=$source_dir/man

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

prefix=$(mktemp -d "${TMPDIR:-/tmp}/monoinstall-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

if ! "$cmake" --install "$build" --config "$config" --prefix "$prefix" >"$prefix.log" 2>&1; then
  fail "cmake --install failed:"
  cat "$prefix.log"
fi
rm -f "$prefix.log"

if [ "$suffix" = .exe ]; then
  bin=.
  expected=$(printf '%s\n' monolook.exe monosketch.exe README.md LICENSE | sort)
else
  bin=bin
  expected=$(printf '%s\n' "bin/monolook$suffix" "bin/monosketch$suffix" \
    share/man/man1/monolook.1 share/man/man1/monosketch.1 | sort)
fi
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
  fail "installed files differ (- expected, + installed):"
  diff <(echo "$expected") <(echo "$installed")
fi
for program in monolook monosketch; do
  [ -x "$prefix/$bin/$program$suffix" ] || fail "$bin/$program$suffix is not executable"
  if [ "$suffix" != .exe ]; then
    cmp -s "$man_dir/$program.1" "$prefix/share/man/man1/$program.1" ||
      fail "share/man/man1/$program.1 is not the page $man_dir/$program.1"
  fi
done
if [ "$suffix" = .exe ]; then
  for file in README.md LICENSE; do
    cmp -s "$source_dir/$file" "$prefix/$file" || fail "$file is not the project's $file"
  done
fi

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed: $(echo "$installed" | tr '\n' ' ')"
