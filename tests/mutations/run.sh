#!/usr/bin/env bash
# Applies each deliberate fault in turn to the source tree this script lives
# in, builds only the test executables the patch names on its "tests:" line,
# runs them, and says whether any of them failed (the fault was caught).
# The tree is restored after every patch, and on any exit.
#
#   tests/mutations/run.sh [-b BUILD_DIR] [-o RESULT_FILE] [PATCH...]
#
# BUILD_DIR defaults to build/normal (configure it first); every patch in this
# folder runs when none is named. Each executable gets 900 s.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
# The tree may be a copy inside another repository's build folder: git must
# not find that repository and apply the patch there.
export GIT_CEILING_DIRECTORIES="$(dirname "$root")"
build="$root/build/normal"
out=""
while getopts "b:o:" opt; do
  case $opt in
    b) build="$(cd "$OPTARG" && pwd)" ;;
    o) out="$OPTARG" ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
patches=("$@")
[ ${#patches[@]} -eq 0 ] && patches=("$here"/[0-9]*.patch)

applied=""
restore() {
  if [ -n "$applied" ]; then
    git -C "$root" apply -R "$applied" || echo "!! could not revert $applied" >&2
    applied=""
  fi
}
trap restore EXIT INT TERM

report() {
  echo "$1"
  [ -n "$out" ] && echo "$1" >>"$out"
}

# A fuzz target replays its corpus; a GoogleTest executable runs whole, and
# the cases that failed are kept in $failed.
run_target() {
  local t="$1" exe
  exe="$(find "$build/tests" -name "$t" -type f -perm -u+x | head -n1)"
  [ -n "$exe" ] || { echo "no executable $t" >&2; return 2; }
  if [[ "$t" == fuzz_* ]]; then
    timeout 900 "$exe" "$root/tests/fuzz/corpus/${t#fuzz_}" >/dev/null 2>&1
  else
    local log rc
    log="$(TAVRINE_SOURCE_DIR="$root" timeout 900 "$exe" --gtest_brief=1 2>&1)"
    rc=$?
    [ $rc -gt 128 ] && failed="$failed $t:crashed(signal $((rc - 128)))"
    failed="$failed $(sed -n 's/^\[  FAILED  \] \([^ ,]*\).*/\1/p' <<<"$log" | sort -u | tr '\n' ' ')"
    return $rc
  fi
}

caught=0
missed=0
for p in "${patches[@]}"; do
  name="$(basename "$p" .patch)"
  targets="$(sed -n 's/^tests: //p' "$p" | head -n1)"
  if ! git -C "$root" apply "$p"; then
    report "$name: DOES NOT APPLY"
    continue
  fi
  applied="$p"
  # shellcheck disable=SC2086
  if ! cmake --build "$build" --target $targets >/dev/null 2>&1; then
    report "$name: BUILD FAILED (fix the patch)"
    restore
    continue
  fi
  by=""
  failed=""
  for t in $targets; do
    run_target "$t" || by="$by $t"
  done
  restore
  if [ -n "$by" ]; then
    caught=$((caught + 1))
    report "$name: caught by$by"
    [ -n "${failed// /}" ] && report "    failing:$(tr -s ' ' <<<"$failed")"
  else
    missed=$((missed + 1))
    report "$name: MISSED by $targets"
  fi
done
report "caught $caught, missed $missed"
# Leave the build matching the restored tree.
cmake --build "$build" --target $(sed -n 's/^tests: //p' "${patches[@]}" | tr ' ' '\n' | sort -u) >/dev/null 2>&1
