#!/usr/bin/env bash
# Sets everything up, builds, and starts the desktop program. Without a
# display it says so and runs tavrine-cli instead (with the arguments given,
# or "help").
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset normal >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window of tavrine cannot open." >&2
    echo "run.sh: running tavrine-cli, the same engine without a window: build/normal/app/cli/tavrine-cli help" >&2
    cmake --build --preset normal --target tavrine-cli
    if [ $# -eq 0 ]; then
        set -- help
    fi
    exec build/normal/app/cli/tavrine-cli "$@"
fi
cmake --build --preset normal --target tavrine
exec build/normal/app/desktop/tavrine
