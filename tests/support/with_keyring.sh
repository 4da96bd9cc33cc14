#!/bin/sh
# Runs a command beside a Secret Service of its own: gnome-keyring on the bus
# that dbus-run-session made, its login keyring created under FOLDER and
# unlocked from a test password given on standard input.
# Usage: with_keyring.sh FOLDER COMMAND [ARG...]
set -eu
home=$1
shift
rm -rf "$home"
mkdir -p "$home"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
printf 'test-password' | gnome-keyring-daemon --unlock --components=secrets >/dev/null
exec "$@"
