#!/usr/bin/env bash
# Pictures of the settings sheet's pages and dialogs, as a user opens them
# with the keyboard: tavrine on a private X server (Xvfb) with a private home
# and ALSA devices that are files, each row's window captured alone at the
# light and dark palettes at 100 % and 200 % into docs/screenshots/NAME.png,
# NAME-dark.png, NAME-200.png and NAME-dark-200.png (scripts/lib/shoot_common.sh).
# Usage: scripts/shoot_settings.sh [build dir] [row name ...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/normal}
shift || true
TAVRINE="$BUILD/app/desktop/tavrine"
CLI="$BUILD/app/cli/tavrine-cli"
OUT=docs/screenshots
for tool in Xvfb xdotool sox ffmpeg dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }
done
[ -x "$TAVRINE" ] && [ -x "$CLI" ] || { echo "build tavrine and tavrine-cli in $BUILD first" >&2; exit 2; }

# One row a window: name | keys (xdotool key names, sent to the window with
# the focus, the topmost one of tavrine when the row starts; several open one
# window after another; Tab counts follow the dialogs' fixed focus order) |
# the title waited for | "keep" to leave the window open for the next row.
# Escape presses close what was opened, so keep the nesting in the keys.
# The sheet opens on Devices; Ctrl+Tab goes on to Options, Keys, Send, User.
SHEET_ROWS=(
    "devices|alt+s Return|Settings"
    "options|alt+s Return ctrl+Tab|Settings"
    "prompt-validation|alt+s Return ctrl+Tab Tab Tab Tab space|Prompt Data Validation"
    "keys|alt+s Return ctrl+Tab ctrl+Tab|Settings"
    "press-key|alt+s Return ctrl+Tab ctrl+Tab Tab Tab space|Press Key"
    "select-command|alt+s Return ctrl+Tab ctrl+Tab Tab Tab space F9|Select Command"
    "sheet-send|alt+s Down Return|Settings"
    "recipient|alt+s Down Return Tab space Tab Tab Tab space|Send To Typist Recipient Properties"
    # The other methods, one recipient each (prestored in list order), and a new one.
    "recipient-folder|alt+s Down Return Tab space Down Tab Tab Tab space|Send To Typist Recipient Properties"
    "recipient-ftp|alt+s Down Return Tab space Down Down Tab Tab Tab space|Send To Typist Recipient Properties"
    "recipient-command|alt+s Down Return Tab space Down Down Down Tab Tab Tab space|Send To Typist Recipient Properties"
    "recipient-sealed|alt+s Down Return Tab space Down Down Down Down Tab Tab Tab space|Send To Typist Recipient Properties"
    "recipient-pool|alt+s Down Return Tab space Down Down Down Down Down Tab Tab Tab space|Send To Typist Recipient Properties"
    "recipient-new|alt+s Down Return Tab Tab space|Send To Typist Recipient Properties"
    "email-settings|alt+s Down Return Tab space Tab Tab Tab space Tab Tab Tab Tab Tab Tab space|Email Settings"
    "wave-format|alt+s Down Return Tab space Tab Tab Tab space Tab Tab space|Select Wave File Format"
    # PCM chosen: its attributes are the longest.
    "wave-format-pcm|alt+s Down Return Tab space Tab Tab Tab space Tab Tab space Home Tab End|Select Wave File Format"
    "user|alt+s Down Down Return|Settings"
    # COM1 chosen on the page, not stored: no serial device answers, and the
    # dialog says so.
    "test-controller|alt+s Return Tab Tab Tab Tab Tab Tab c Tab space|Test Controller"
)
# The first-run wizard shows by itself once the window is up.
WIZARD_ROWS=(
    "wizard-record||Tavrine Dictate|keep"
    "wizard-playback|Return|Tavrine Dictate|keep"
    "wizard-quickstart|Return|Tavrine Dictate"
)

# What the rows need stored before the window starts: a recipient whose
# Email and WAV choices enable the e-mail settings and format buttons, the
# data prompt on so its Validation button can be pressed, and two hot keys
# (F7 Record, F8 Play) for the Keys page to list.
prestore_sheet() {
    for kv in "Key0 118" "Key0Command 3" "Key1 119" "Key1Command 4" "Count 2"; do
        "$CLI" settings set Keys "${kv% *}" "${kv#* }" >/dev/null
    done
    "$CLI" recipient add "Typing Pool" SendMethod=1 EmailTo=typist@example.com SendFileFormat=1 >/dev/null
    mkdir -p "$WORK/typing-pool"
    "$CLI" recipient add "Shared Folder" SendMethod=2 "Folder=$WORK/typing-pool" >/dev/null
    "$CLI" recipient add "Typist's Server" SendMethod=3 FtpServer=ftp.example.com:2121 FtpUserName=anna \
        FtpPassword=secret FtpDirectory=incoming >/dev/null
    "$CLI" recipient add "Print Script" SendMethod=4 "RunCommand=/usr/local/bin/deliver %filepath%" >/dev/null
    "$CLI" recipient add "Sealed Pool" SendMethod=2 "Folder=$WORK/typing-pool" \
        SealTo=age1al6dye0nf9vmhptgc6cvkygfurhquz7879usckdln5cedss6a35qzs5mcg >/dev/null
    "$CLI" recipient add "Hospital Pool" SendMethod=5 PoolServer=imap.example.org PoolUserName=anna \
        PoolPassword=secret PoolFolder=Shared/Typing >/dev/null
    # SMTP with a logon: the server for the machine, the logon for this user alone.
    for kv in "UseMAPI 0" "MailSMTPHost mail.example.com" "MailSMTPPort 587" "ReplyToEmail anna@example.com"; do
        "$CLI" settings set --machine Email "${kv% *}" "${kv#* }" >/dev/null
    done
    "$CLI" settings set Email MailSMTPUser anna >/dev/null
    "$CLI" settings set Email MailSMTPPassword secret >/dev/null
    "$CLI" settings set Prompt1 Prompt 1 >/dev/null
}
prestore_wizard() {
    "$CLI" settings set Settings InstallWizRun 0 >/dev/null
    # The wizard's live level reads a paced tone (what it read goes nowhere).
    paced_devices
}

. scripts/lib/try_common.sh
. scripts/lib/shoot_common.sh
mkdir -p "$OUT"
SHOOT_W=1200
SHOOT_H=900

WANTED=("$@")
shoot_all prestore_sheet "${SHEET_ROWS[@]}"
shoot_all prestore_wizard "${WIZARD_ROWS[@]}"
