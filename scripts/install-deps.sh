#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the program need.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite
  libtiff-dev libjpeg-dev libzip-dev libsane-dev sane-utils libzint-dev libleptonica-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  poppler-utils zbar-tools fonts-dejavu-core fonts-liberation xauth xvfb
  xdotool
  python3-dbfread hyperfine qt6-translations-l10n
  libvmime-dev dovecot-core dovecot-pop3d python3-aiosmtpd openssl
  clang-format clang-tidy
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Instalando: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
