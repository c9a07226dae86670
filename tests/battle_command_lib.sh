# Shared by the tests of the battle commands: $build (the build folder given
# as the script's argument), $battle (korvanta-battle, checked, with any other
# programs named in $needed_programs), a work folder $work removed at exit,
# and fail(), which counts. Source it as: . tests/battle_command_lib.sh "$1"
build="$(cd "${1:?build directory}" && pwd)"
battle="$build/app/korvanta-battle"
for program in "$battle" ${needed_programs:-}; do
  if [ ! -x "$program" ]; then
    echo "FAIL: $program is missing"
    exit 1
  fi
done
work="$(mktemp -d)"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
