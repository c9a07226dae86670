# Shared by the tests that use the plain build (no sanitizers, configured for
# /usr, in the folder package-plain under the build folder): the check for
# the tools they need, their pass/fail tally, and the plain build's configure.
# Source it after setting build and source_dir.

# Skips the test (fails it under CI=true) when a tool is missing.
#   require_tools "the package test" cpack lintian ...
require_tools() {
  local what=$1 missing="" tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
  done
  [ -z "$missing" ] && return 0
  if [ "${CI:-}" = true ]; then
    echo "FAIL: not installed:$missing (scripts/install-deps.sh installs them)"
    exit 1
  fi
  echo "skipped: $what needs$missing (scripts/install-deps.sh installs them)"
  exit 0
}

# A work folder removed at exit, and the tally of the checks.
#   start_checks NAME   (work is /tmp/korvanta-NAME-XXXXXX)
start_checks() {
  work="$(mktemp -d "/tmp/korvanta-$1-XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  failures=0
}
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
finish() {
  [ $failures = 0 ] && echo "all passed" || echo "$failures failed"
  [ $failures = 0 ]
  exit
}

# Configures the plain build into $plain (through ccache when there is one);
# a failure is reported and ends the test.
configure_plain() {
  plain="$build/package-plain"
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  if ! cmake -S "$source_dir" -B "$plain" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DKORVANTA_BUILD_TESTS=OFF -DKORVANTA_BUILD_BENCH=OFF "${launcher[@]}" >"$work/configure.out" 2>&1; then
    cat "$work/configure.out"
    fail "configuring the plain build"
    finish
  fi
}
