#!/usr/bin/env bash
# `cmake --install` of a build into an empty folder puts the two programs in bin/
# and their manual pages in share/man/man1/, and nothing else.
#
#   install_test.sh CMAKE BUILD_DIR CONFIG EXECUTABLE_SUFFIX MAN_DIR
set -uo pipefail

cmake=$1
build=$2
config=$3
suffix=$4
man_dir=$5

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

expected=$(printf '%s\n' "bin/monolook$suffix" "bin/monosketch$suffix" \
  share/man/man1/monolook.1 share/man/man1/monosketch.1 | sort)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
  fail "installed files differ (- expected, + installed):"
  diff <(echo "$expected") <(echo "$installed")
fi
for program in monolook monosketch; do
  [ -x "$prefix/bin/$program$suffix" ] || fail "bin/$program$suffix is not executable"
  cmp -s "$man_dir/$program.1" "$prefix/share/man/man1/$program.1" ||
    fail "share/man/man1/$program.1 is not the page $man_dir/$program.1"
done

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed: $(echo "$installed" | tr '\n' ' ')"
