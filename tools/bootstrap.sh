#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent and quiet:
# does nothing when everything is already there.
set -euo pipefail

pkgs=(
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev
  wine wine64 wine32:i386 fonts-wine
  xvfb xauth xdotool x11-utils imagemagick locales
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing=("${pkgs[@]}")
else
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "bootstrap: run as root to install: ${missing[*]}" >&2; exit 1; }
  echo "bootstrap: installing ${#missing[@]} packages..."
  dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The mingw compiler must be the posix-threads flavour (std::thread, std::mutex).
if [ "$(id -u)" = 0 ] && command -v update-alternatives >/dev/null; then
  update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-posix >/dev/null 2>&1 || true
  update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
fi

# glibc locales for the languages the tests run under (Wine picks the string table from them).
need_locale=()
for l in en_US de_DE fr_FR es_ES ja_JP ru_RU; do
  locale -a 2>/dev/null | grep -qi "^${l}\.utf-\?8$" || need_locale+=("$l")
done
if [ ${#need_locale[@]} -gt 0 ]; then
  [ "$(id -u)" = 0 ] || { echo "bootstrap: run as root to generate locales: ${need_locale[*]}" >&2; exit 1; }
  for l in "${need_locale[@]}"; do
    grep -q "^${l}.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "${l}.UTF-8 UTF-8" >> /etc/locale.gen
  done
  locale-gen >/dev/null
fi
exit 0
