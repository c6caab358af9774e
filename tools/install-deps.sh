#!/usr/bin/env bash
# Installs, quietly and only when missing, what building and testing need on
# Debian 12: the native and cross compilers, GoogleTest, Wine (32-bit) and
# Xvfb for the Windows program, the peer LHA tools the tests compare with,
# the static analysers, and what packaging and its checks need; the 32-bit
# multilib compiler and qemu-i386 for the 32-bit unit tests, osslsigncode
# and openssl for signing, and the fonts of the dialog pictures (a metric
# match for the dialog font, and Wine's font of the caption buttons).
set -euo pipefail

packages=(cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32 wine wine64 xvfb x11-utils xdotool imagemagick
          lhasa 7zip jlha-utils libjlha-java default-jdk-headless locales cppcheck clang-tidy
          dpkg-dev lintian groff-base man-db
          g++-multilib qemu-user osslsigncode openssl fonts-ipafont-gothic fonts-wine)

# 32-bit Wine runs the stub as shipped where the kernel runs 32-bit code;
# elsewhere the Wine tests use 64-bit Wine. Its i386 libraries must match the
# amd64 ones version for version, which a mirror in mid-sync can break for a
# while: it is installed on its own and, failing, only warned about.
optional=(wine32)

is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do is_installed "$p" || missing+=("$p"); done
missing_optional=()
for p in "${optional[@]}"; do is_installed "$p" || missing_optional+=("$p"); done
# A failed try is not repeated for a day: every make target runs this script.
optional_failed=/var/tmp/lzhsfx-optional-packages-failed
if [ -n "$(find "$optional_failed" -mmin -1440 2>/dev/null)" ]; then missing_optional=(); fi
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]} ${missing_optional[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails an index now and then: try again, and go on
# with the indexes that did load (the install below says if one is missing).
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  echo "apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" -lt 3 ] && sleep 20
done
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
if [ ${#missing[@]} -gt 0 ]; then
  for attempt in 1 2 3; do
    apt_install "${missing[@]}" && break
    echo "apt-get install failed (attempt $attempt of 3)" >&2
    [ "$attempt" -eq 3 ] && exit 1
    sleep 20
    $sudo apt-get update -qq || true
  done
fi
if [ ${#missing_optional[@]} -gt 0 ] && ! apt_install "${missing_optional[@]}"; then
  echo "warning: ${missing_optional[*]} could not be installed; the Wine tests use 64-bit Wine" >&2
  touch "$optional_failed" 2>/dev/null || true
fi
exit 0
