#!/usr/bin/env bash
# Installs, quietly and only when missing, what a Debian 12 machine needs.
#
# Usage: install-deps.sh [build|test]   (default: test)
#   build: what the package, the Windows zip and an install are made with:
#          the native compiler, the i686 MinGW-w64 cross compiler of the
#          Windows programs, CMake, and dpkg-shlibdeps for the package's
#          dependencies.
#   test:  the build set and everything the tests, the demo, the pictures,
#          the benchmarks and the fuzzers use: GoogleTest, clang and its
#          fuzzing run-time, Wine (also 32-bit, which adds the i386
#          architecture) and Xvfb for the Windows program, the x86-64 cross
#          compiler for 64-bit Wine, the peer LHA tools and the jLHA library
#          with a JDK, the static analysers, lintian and man, the 32-bit
#          multilib compiler and qemu-i386, osslsigncode and openssl for
#          signing, and the fonts of the dialog pictures (a metric match for
#          the dialog font, and Wine's own fonts).
set -euo pipefail

set_name=${1:-test}
build=(cmake make g++ g++-mingw-w64-i686 dpkg-dev)
test_only=(clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev
           g++-mingw-w64-x86-64-win32 wine wine64 xvfb x11-utils xdotool imagemagick
           lhasa 7zip jlha-utils libjlha-java default-jdk-headless locales cppcheck clang-tidy
           lintian groff-base man-db
           g++-multilib qemu-user osslsigncode openssl fonts-ipafont-gothic fonts-wine)
case $set_name in
  build) packages=("${build[@]}") optional=() ;;
  # 32-bit Wine runs the stub as shipped where the kernel runs 32-bit code;
  # elsewhere the Wine tests use 64-bit Wine. Its i386 libraries must match
  # the amd64 ones version for version, which a mirror in mid-sync can break
  # for a while: it is installed on its own and, failing, only warned about.
  test) packages=("${build[@]}" "${test_only[@]}") optional=(wine32) ;;
  *) echo "usage: install-deps.sh [build|test] (not '$set_name')" >&2; exit 2 ;;
esac

is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do is_installed "$p" || missing+=("$p"); done
missing_optional=()
for p in ${optional[@]+"${optional[@]}"}; do is_installed "$p" || missing_optional+=("$p"); done
# A failed try is not repeated for a day: every make target runs this script.
optional_failed=/var/tmp/lzhsfx-optional-packages-failed
if [ -n "$(find "$optional_failed" -mmin -1440 2>/dev/null)" ]; then missing_optional=(); fi
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]} ${missing_optional[*]}"
# Only 32-bit Wine needs the i386 architecture.
if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
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
