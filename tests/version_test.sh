#!/usr/bin/env bash
# --version on every program: the project's version and the commit of the
# checkout, printed before the media layer starts (an empty folder stays
# empty, no display is needed); and the commit header written at build time
# follows the checkout.
set -uo pipefail

build="$(cd "${1:?usage: version_test.sh BUILD-DIR}" && pwd)"
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version="$(cache_value CMAKE_PROJECT_VERSION)"
source_dir="$(cache_value CMAKE_HOME_DIRECTORY)"

work="$(mktemp -d /tmp/korvanta-version-XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] && pass "the project has version $version" ||
  fail "project version '$version' is not x.y.z"

# The commit the build last wrote (HEAD when built after the last commit;
# the header's own rewriting is tested below). It must be a commit of this
# checkout.
commit=""
if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
  commit="$(sed -n 's/^#define KORVANTA_COMMIT "\([0-9a-f]*\).*"$/\1/p' "$build/app/generated/korvanta_commit.h")"
  git -C "$source_dir" cat-file -e "$commit^{commit}" 2>/dev/null && [ ${#commit} = 12 ] &&
    pass "the build names commit $commit of the checkout" || fail "the build's commit header names '$commit'"
fi

for program in app/korvanta app/korvanta-battle tools/korvanta-image; do
  name="$(basename "$program")"
  [ -x "$build/$program" ] || { fail "$program not built"; continue; }
  empty="$work/empty-$name"
  mkdir "$empty"
  out="$(cd "$empty" && env -u DISPLAY -u WAYLAND_DISPLAY -u KORVANTA_LOG_ECHO "$build/$program" --version 2>"$work/err")"
  status=$?
  [ $status = 0 ] && pass "$name --version exits 0" || fail "$name --version: status $status"
  if [ -n "$commit" ]; then
    # A build from changed files says so after the commit.
    [[ "$out" =~ ^$name\ $version\ \(commit\ $commit(-modified)?\)$ ]] &&
      pass "$name --version: '$out'" || fail "$name --version printed '$out' (want $name $version, commit $commit)"
  else
    [ "$out" = "$name $version" ] && pass "$name --version: '$out'" || fail "$name --version printed '$out'"
  fi
  [ ! -s "$work/err" ] || fail "$name --version wrote to standard error: $(cat "$work/err")"
  [ -z "$(ls -A "$empty")" ] && pass "$name --version leaves its folder empty (no Log.txt)" ||
    fail "$name --version created: $(ls -A "$empty")"
  "$build/$program" --help >"$work/help" 2>&1 && grep -q -- "--version" "$work/help" &&
    pass "$name --help names --version" || fail "$name --help does not name --version"
  # --help and --version answer at once, whatever follows; an unknown option
  # is status 2 with a hint on standard error only.
  for asked in --help --version; do
    (cd "$empty" && env -u DISPLAY -u WAYLAND_DISPLAY "$build/$program" $asked --no-such-option >"$work/out" 2>"$work/err")
    status=$?
    [ $status = 0 ] && [ -s "$work/out" ] && [ ! -s "$work/err" ] && pass "$name $asked --no-such-option answers" ||
      fail "$name $asked --no-such-option: status $status, stderr '$(cat "$work/err")'"
  done
  (cd "$empty" && env -u DISPLAY -u WAYLAND_DISPLAY "$build/$program" --no-such-option >"$work/out" 2>"$work/err")
  status=$?
  [ $status = 2 ] && [ ! -s "$work/out" ] && grep -q -- "--help" "$work/err" && pass "$name refuses an unknown option" ||
    fail "$name --no-such-option: status $status, stderr '$(cat "$work/err")'"
done

# The header the build writes follows the checkout: a new commit, changed
# files, and no checkout at all.
if command -v git >/dev/null; then
  repo="$work/repo"
  header="$work/commit.h"
  write() { cmake -DSOURCE_DIR="$1" -DOUTPUT="$header" -P "$source_dir/cmake/write_commit.cmake"; }
  written() { sed -n 's/^#define KORVANTA_COMMIT "\(.*\)"$/\1/p' "$header"; }
  git init -q "$repo"
  git -C "$repo" -c user.name=t -c user.email=t@example.org commit -q --allow-empty -m one
  echo a >"$repo/file"
  git -C "$repo" add file
  git -C "$repo" -c user.name=t -c user.email=t@example.org commit -q -m two
  write "$repo"
  [ "$(written)" = "$(git -C "$repo" rev-parse --short=12 HEAD)" ] && pass "the header names HEAD" ||
    fail "header has '$(written)', HEAD is $(git -C "$repo" rev-parse --short=12 HEAD)"
  before="$(stat -c %Y.%s "$header")"
  touch -d '2000-01-01' "$header"
  write "$repo"
  [ "$(stat -c %Y "$header")" = "$(date -d 2000-01-01 +%s)" ] && pass "an unchanged commit leaves the header untouched" ||
    fail "the header was rewritten with the same commit ($before)"
  echo b >"$repo/file"
  write "$repo"
  [ "$(written)" = "$(git -C "$repo" rev-parse --short=12 HEAD)-modified" ] && pass "changed files are named" ||
    fail "changed files: header has '$(written)'"
  git -C "$repo" -c user.name=t -c user.email=t@example.org commit -q -am three
  write "$repo"
  [ "$(written)" = "$(git -C "$repo" rev-parse --short=12 HEAD)" ] && pass "a new commit is named at the next build" ||
    fail "after a new commit the header has '$(written)'"
  mkdir "$repo/unpacked"
  write "$repo/unpacked"
  [ -z "$(written)" ] && pass "a tree inside another checkout names no commit" ||
    fail "a tree inside another checkout: header has '$(written)'"
  mkdir "$work/plain"
  write "$work/plain"
  [ -z "$(written)" ] && grep -q KORVANTA_COMMIT "$header" && pass "outside a checkout the commit is empty" ||
    fail "outside a checkout the header has '$(written)'"
else
  fail "git is not installed"
fi

[ $failures = 0 ] && echo "all passed" || echo "$failures failed"
[ $failures = 0 ]
