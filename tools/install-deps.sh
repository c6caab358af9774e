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
          g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32 wine wine32 wine64 xvfb x11-utils xdotool imagemagick
          lhasa 7zip jlha-utils libjlha-java default-jdk-headless locales cppcheck clang-tidy
          dpkg-dev lintian groff-base man-db
          g++-multilib qemu-user osslsigncode openssl fonts-ipafont-gothic fonts-wine)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
