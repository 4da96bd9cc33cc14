#!/usr/bin/env bash
# The long form of the sealed-file tamper test: 10,000 sampled single-byte
# changes of a sealed 1 MB file (the test suite runs 2,000), each of which
# must be refused. Usage: scripts/age_tamper.sh [build dir] [positions]
set -euo pipefail
BUILD=${1:-build/normal}
export TAVRINE_AGE_TAMPER_POSITIONS=${2:-10000}
exec "$BUILD/tests/send/send_tests" --gtest_filter='SealedFileTest.EveryChangedByteAndCutIsRefusedAndLeavesNothing'
