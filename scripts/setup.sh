#!/usr/bin/env bash
# Installs what building, running and testing need, on Debian 12. Only
# missing packages are fetched, so a second run costs a few seconds.
set -euo pipefail

packages=(
  # build
  cmake ninja-build ccache g++ clang time hyperfine libclang-rt-14-dev clang-format pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  # platform services
  libasound2-dev libasound2-plugins libcurl4-openssl-dev libssl-dev libx11-dev
  # the desktop program, and its tests under a private X server and session bus
  qt6-base-dev qt6-svg-dev libgl-dev fonts-dejavu-core xvfb xauth xdotool x11-utils x11-xserver-utils dbus-daemon dbus-x11 libglib2.0-bin libsecret-1-dev gnome-keyring libsecret-tools
  # independent judges for the tests
  sox libsox-fmt-all lame mpg123 ffmpeg libgsm-tools flac vorbis-tools faad espeak-ng age
  librsvg2-bin optipng
  # the desktop notification shown in the screenshots
  notification-daemon
  python3 python3-aiosmtpd python3-pyftpdlib python3-openssl python3-dbus python3-gi openssl curl
  # the IMAP tests' mail server (each test runs its own instance; the system service stays off)
  dovecot-imapd
  # the Debian package and its judges
  dpkg-dev lintian desktop-file-utils appstream
  # the installer: the desktop folder asked of the user's settings
  xdg-user-dirs
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Dovecot's package starts a system-wide server; the tests start their own on
# loopback ports, so the system one is stopped and kept from starting at boot.
# Done when the package was just installed, so a later run asks no password;
# harmless where there is no init system.
if [[ " ${missing[*]} " == *" dovecot-imapd "* ]]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo service dovecot stop >/dev/null 2>&1 || true
  $sudo update-rc.d dovecot disable >/dev/null 2>&1 || true
  if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
    $sudo systemctl disable --now dovecot.service dovecot.socket >/dev/null 2>&1 || true
  fi
fi
