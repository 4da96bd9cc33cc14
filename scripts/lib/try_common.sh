# Shared by the scripts/try_*.sh scripts: a private home, ALSA devices that
# are files (the capture side reads a sox-made input, the playback side
# writes what it is given), and tavrine started on a private Xvfb with its
# window found. Source it after setting TAVRINE and CLI; call try_setup, then
# set what the script needs, then try_start_window.

try_setup() {
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-try.XXXXXX")
    XPID=
    APID=
    # Helpers a script started after try_setup (a private bus, a portal).
    EXTRA_PIDS=
    cleanup() {
        if [ -n "$APID" ]; then kill "$APID" 2>/dev/null || true; wait "$APID" 2>/dev/null || true; fi
        for pid in $EXTRA_PIDS; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
        if [ -n "$XPID" ]; then kill "$XPID" 2>/dev/null || true; wait "$XPID" 2>/dev/null || true; fi
        rm -rf "$WORK"
    }
    trap cleanup EXIT
    export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_CACHE_HOME="$WORK/cache"
    export TAVRINE_MACHINE_CONFIG="$WORK/machine.conf" XDG_RUNTIME_DIR="$WORK/run"
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/no-bus"

    RATE=11025
    # 6 s of a gliding tone with a tremolo: no two stretches alike, so the
    # comparison cannot line up the wrong ones.
    sox -n -r $RATE -c 1 -b 16 -e signed "$WORK/input.raw" synth 6 sine 300-1200 tremolo 3 60 vol 0.5
    : >"$WORK/empty.raw"
    cat >"$WORK/asound.conf" <<CONF
pcm.!default { type file slave.pcm { type null } format "raw" file "$WORK/default-out.raw" infile "$WORK/empty.raw" }
pcm.try_in { type file slave.pcm { type null } format "raw" file "$WORK/captured.raw" infile "$WORK/input.raw"
             hint { show on description "Try Input" } }
pcm.try_out { type file slave.pcm { type null } format "raw" file "$WORK/played.raw" infile "$WORK/empty.raw"
              hint { show on description "Try Output" } }
CONF
    export ALSA_CONFIG_PATH="$WORK/asound.conf"

    "$CLI" settings set Settings SampleRate $RATE >/dev/null
    "$CLI" settings set --machine Settings RecordDevice 1 >/dev/null
    "$CLI" settings set --machine Settings PlayDevice 2 >/dev/null
    # Voice activation off: every block is loud enough.
    "$CLI" settings set --machine Settings VoiceActivateLevel -127 >/dev/null
    "$CLI" settings set Settings RecordMode 0 >/dev/null
    # The first-run wizard would cover the window the tries drive.
    "$CLI" settings set Settings InstallWizRun 1 >/dev/null
}

try_start_window() {
    # TRY_FIRST_START=1: no stored placement, the window opens as on a first start.
    if [ "${TRY_FIRST_START:-}" != 1 ]; then
        for kv in "Width 560" "Height 420" "X 0" "Y 0"; do
            set -- $kv
            "$CLI" settings set --machine MainWindow "$1" "$2" >/dev/null
        done
    fi

    # The server picks a free display itself and writes its number to fd 3:
    # choosing one by the files in /tmp raced with other runs.
    : >"$WORK/display"
    # TRY_SCREEN: a larger screen for windows drawn at a higher scale.
    Xvfb -displayfd 3 -screen 0 "${TRY_SCREEN:-800x600}x24" -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
    XPID=$!
    DISPLAY_NUMBER=
    for _ in $(seq 100); do
        # Read only once the line is whole.
        [ "$(wc -l <"$WORK/display")" -ge 1 ] && DISPLAY_NUMBER=$(sed -n '1{/^[0-9][0-9]*$/p}' "$WORK/display")
        [ -n "$DISPLAY_NUMBER" ] && break
        kill -0 "$XPID" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$DISPLAY_NUMBER" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$DISPLAY_NUMBER"

    QT_QPA_PLATFORM=xcb "$TAVRINE" >"$WORK/tavrine.log" 2>&1 &
    APID=$!
    WID=
    for _ in $(seq 100); do
        WID=$(xdotool search --onlyvisible --name "Tavrine Dictate" 2>/dev/null | head -1 || true)
        [ -n "$WID" ] && break
        sleep 0.1
    done
    [ -n "$WID" ] || { echo "tavrine did not show its window" >&2; cat "$WORK/tavrine.log" >&2; exit 1; }
    sleep 0.5
}

key() { xdotool windowfocus --sync "$WID" key --clearmodifiers "$@"; }

# Quits as a session end would: tavrine closes its window on SIGTERM.
try_quit() {
    kill -TERM "$APID"
    for _ in $(seq 50); do kill -0 "$APID" 2>/dev/null || break; sleep 0.1; done
    wait "$APID" 2>/dev/null || true
    APID=
}
