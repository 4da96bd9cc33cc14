#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build, the sanitizer
# build, the threaded libraries under ThreadSanitizer, and each fuzz target
# over its corpus under libFuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

status=0
failed=()
# A failing step is named again at the end, so the tail of a long log says
# what failed without scrolling back through it.
run() {
  echo "== $*"
  "$@" && return
  status=1
  failed+=("$*")
}
# The names of the tests a ctest preset saw failing, for the closing summary.
ctest_failures() {
  local log="build/$1/Testing/Temporary/LastTestsFailed.log"
  [ -s "$log" ] && sed 's/^/    /' "$log"
  return 0
}

if command -v clang-format >/dev/null; then
  echo "== clang-format check"
  files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build')
  if [ -n "$files" ] && ! clang-format --dry-run -Werror $files; then
    status=1
    failed+=("clang-format check")
  fi
fi

for preset in normal asan; do
  run cmake --preset "$preset" >/dev/null
  run cmake --build --preset "$preset"
  run ctest --preset "$preset"
done

# The threaded libraries once more under ThreadSanitizer.
run cmake --preset tsan >/dev/null
run cmake --build --preset tsan --target foundation_tests sound_tests send_tests
for suite in foundation/foundation_tests sound/sound_tests send/send_tests; do
  run env TSAN_OPTIONS=halt_on_error=1 "build/tsan/tests/$suite" --gtest_brief=1
done

# What a packager builds: warnings are not errors there, but it must build.
run cmake --preset release >/dev/null
run cmake --build --preset release
# The Debian package made from that build, judged by dpkg and lintian.
run bash tests/package/check_deb.sh build/release

run cmake --preset fuzz >/dev/null
run cmake --build --preset fuzz
run ctest --preset fuzz

if [ "$status" -ne 0 ]; then
  echo "== failed steps"
  for step in "${failed[@]}"; do
    echo "  $step"
    case "$step" in "ctest --preset "*) ctest_failures "${step#ctest --preset }" ;; esac
  done
  echo "SOME TESTS FAILED"
else
  echo "ALL TESTS PASSED"
fi
exit "$status"
