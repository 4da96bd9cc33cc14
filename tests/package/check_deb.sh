#!/usr/bin/env bash
# The Debian package as dpkg, lintian and desktop-file-validate see it: its
# fields, its files and their modes, no lintian error, and the programs
# unpacked from it starting from there with a private home.
# Usage: tests/package/check_deb.sh [configured release build folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build/release}

for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null; then
        [ "${CI:-}" = true ] && { echo "check_deb: $tool is missing" >&2; exit 1; }
        echo "check_deb: skipped, $tool is missing (scripts/setup.sh installs it)"
        exit 0
    fi
done
fail() { echo "check_deb: $*" >&2; exit 1; }

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ -n "$VERSION" ] || fail "no configured build in $BUILD"
cmake --build "$BUILD" --target package >/dev/null
DEB="$BUILD/tavrine-dictate_${VERSION}_$(dpkg --print-architecture).deb"
[ -f "$DEB" ] || fail "no $DEB"

field() { dpkg-deb --field "$DEB" "$1"; }
[ "$(field Package)" = tavrine-dictate ] || fail "package name $(field Package)"
[ "$(field Version)" = "$VERSION" ] || fail "version $(field Version), not $VERSION"
# xdg-utils is named by hand; the libraries only if dpkg-shlibdeps ran.
for dep in xdg-utils libqt6widgets6 libasound2 libcurl4; do
    field Depends | tr ',' '\n' | grep -q "^ *$dep\b" || fail "Depends lacks $dep: $(field Depends)"
done

CONTENTS=$(dpkg-deb --contents "$DEB")
expected=(usr/bin/tavrine usr/bin/tavrine-cli usr/share/applications/org.orvane.Tavrine.desktop
    usr/share/icons/hicolor/scalable/apps/org.orvane.Tavrine.svg usr/lib/udev/rules.d/70-tavrine-dictate.rules
    usr/share/tavrine/Test.wav usr/share/man/man1/tavrine.1.gz usr/share/man/man1/tavrine-cli.1.gz
    usr/share/man/man1/tavrine-scribe.1.gz
    usr/share/doc/tavrine-dictate/copyright usr/share/doc/tavrine-dictate/changelog.gz
    usr/bin/tavrine-scribe usr/share/applications/org.orvane.TavrineScribe.desktop
    usr/share/icons/hicolor/scalable/apps/org.orvane.TavrineScribe.svg
    usr/share/metainfo/org.orvane.Tavrine.metainfo.xml usr/share/metainfo/org.orvane.TavrineScribe.metainfo.xml)
[ -d docs/manual ] && expected+=(usr/share/doc/tavrine/manual/index.html)
for path in "${expected[@]}"; do
    grep -q " \./$path\$" <<<"$CONTENTS" || fail "the package lacks /$path"
done
# Everything under /usr but not /usr/local (an absolute destination, such as
# the build tree, would show up as itself), owned by root, programs 0755,
# other files 0644, folders 0755.
awk '
    $6 !~ /^\.\/usr\// || $6 ~ /^\.\/usr\/local\// { print "misplaced: " $0; bad = 1 }
    $2 != "root/root" { print "not root: " $0; bad = 1 }
    $6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" { print "mode: " $0; bad = 1 }
    $6 !~ /^\.\/usr\/bin\/./ && $1 ~ /^-/ && $1 != "-rw-r--r--" { print "mode: " $0; bad = 1 }
    $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "mode: " $0; bad = 1 }
    END { exit bad }' <<<"$CONTENTS" || fail "files misplaced or with wrong owner or mode"

LINT=$(lintian "$DEB" 2>&1 | grep -v "running with root privileges" || true)
[ -z "$LINT" ] || echo "$LINT"
! grep -q "^E: " <<<"$LINT" || fail "lintian reports errors"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/check_deb.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
dpkg -x "$DEB" "$WORK/root"
for entry in org.orvane.Tavrine org.orvane.TavrineScribe; do
    desktop-file-validate "$WORK/root/usr/share/applications/$entry.desktop" || fail "desktop entry $entry refused"
    # Software centres find each program by the desktop entry its metadata names.
    appstreamcli validate --no-net "$WORK/root/usr/share/metainfo/$entry.metainfo.xml" >/dev/null \
        || fail "AppStream metadata of $entry refused"
    grep -q "<launchable type=\"desktop-id\">$entry.desktop</launchable>" \
        "$WORK/root/usr/share/metainfo/$entry.metainfo.xml" || fail "$entry's metadata names another entry"
done
mkdir -m 700 "$WORK/home"
run() {
    timeout 60 env -i PATH=/usr/bin:/bin HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/home" QT_QPA_PLATFORM=offscreen \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus" TAVRINE_MACHINE_CONFIG="$WORK/machine.conf" "$@"
}
# The command-line program reads the announcement the package put in place.
run "$WORK/root/usr/bin/tavrine-cli" info "$WORK/root/usr/share/tavrine/Test.wav" | grep -q "^type: WAV$" \
    || fail "tavrine-cli did not read the packaged Test.wav"
run "$WORK/root/usr/bin/tavrine" --startup-time 2>/dev/null | grep -Eq "^startup_ms [0-9]+ rows 0$" \
    || fail "the packaged tavrine did not show its window"
run "$WORK/root/usr/bin/tavrine-scribe" --screenshot "$WORK/scribe.png" list 2>/dev/null && [ -s "$WORK/scribe.png" ] \
    || fail "the packaged tavrine-scribe did not show its window"
echo "check_deb: $DEB passes"
