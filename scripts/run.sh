#!/usr/bin/env bash
# Sets everything up, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset normal >/dev/null
cmake --build --preset normal --target tavrine-cli
exec build/normal/app/cli/tavrine-cli "$@"
