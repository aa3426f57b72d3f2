#!/usr/bin/env bash
# Installs every Debian package that the README's two commands reach, the glibc locales of the
# languages under test, and Debian's FFmpeg source for the Windows builds. Idempotent: does
# nothing when everything is there. Copes with a package mirror whose index fails for one
# architecture or suite (apt-get install then decides), with another package manager holding apt's
# locks (it waits, see tools/apt-wait.sh), and with machines where the 32-bit Wine cannot be
# installed (the tests then run the 64-bit build; tools/test.sh finds out).
#
# 32-bit Wine is tried only where the kernel runs 32-bit code (tools/runs-32bit.sh). Where a plain
# install of it fails, tools/fetch-i386-twins.py supplies the i386 libraries that the mirror's i386
# indexes lack, and the install is tried again with the point release's versions.
#
# Environment:
#   CLIPHARBOR_APT_LOCK_WAIT=SECONDS  how long each apt-get call waits for apt's and dpkg's locks
#                                     (default 600)
#   CLIPHARBOR_FORCE_WINE32=1         install 32-bit Wine even where this machine runs no 32-bit
#                                     code (to try the install itself, e.g. in a chroot)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/apt-wait.sh"

# Packages of the machine's own architecture. tools/check-bootstrap.py reads this list.
pkgs=(
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-i686-dev g++-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 fonts-wine fonts-ipafont-gothic
  xvfb xauth xdotool x11-utils imagemagick locales
  ffmpeg libavcodec-dev libswscale-dev libswresample-dev libavutil-dev pkg-config nasm xz-utils
  dpkg-dev python3 zip hyperfine time git
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  gstreamer1.0-plugins-bad gstreamer1.0-libav python3-numpy
)
# 32-bit Wine, for running the 32-bit product; optional.
pkgs32=(wine32:i386)

is_root() { [ "$(id -u)" = 0 ]; }
installed() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed$'; }
say() { echo "bootstrap: $*"; }

# 32-bit Wine as it is; where that fails (a mirror whose i386 index of a suite is stale), the point
# release's versions plus the i386 twins of native libraries that no i386 index offers.
install32() {
  local log=$1 suite list twins=() names
  : >"$log"
  apt_get "$log" install -y -qq --no-install-recommends "${missing32[@]}" && return 0
  suite=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  [ -n "$suite" ] || return 1
  echo "== with $suite's versions and i386 twins from the pool" >>"$log"
  list=$(python3 "$root/tools/fetch-i386-twins.py" --suite "$suite" --dest "$twin_dir" "${missing32[@]}" 2>>"$log") \
    || return 1
  [ -n "$list" ] && mapfile -t twins <<<"$list"
  names=$(printf '%s\n' "${twins[@]##*/}" | sed 's/_.*//' | paste -sd ' ')
  say "wine32:i386 did not install as it is; trying $suite's versions${names:+ and ${#twins[@]} i386 twin(s) from the pool: $names}"
  apt_get "$log" install -y -qq --no-install-recommends -t "$suite" "${missing32[@]}" "${twins[@]}" || return 1
  # apt-get marks the files it is given as wanted for themselves; they are only wine32's dependencies.
  [ -n "$names" ] && apt-mark auto $(printf '%s:i386 ' $names) >>"$log" 2>&1
  rm -rf "$twin_dir"
}
twin_dir=/var/cache/clipharbor/i386-twins

missing=()
for p in "${pkgs[@]}"; do installed "$p" || missing+=("$p"); done
missing32=()
for p in "${pkgs32[@]}"; do installed "$p" || missing32+=("$p"); done

# No 32-bit Wine where the kernel runs no 32-bit code: it could be installed, but never run.
if [ ${#missing32[@]} -gt 0 ] && [ "${CLIPHARBOR_FORCE_WINE32:-}" != 1 ]; then
  bash "$root/tools/runs-32bit.sh"
  case $? in
    1) say "this machine runs no 32-bit code: no 32-bit Wine; Windows tests use the 64-bit build."
       missing32=() ;;
    2) say "cannot tell whether this machine runs 32-bit code (no temporary folder lets a program run); trying 32-bit Wine." ;;
  esac
fi

# A 32-bit Wine that could not be installed is tried again at most every few hours, so that warm
# runs on such a machine do not wait for the mirror each time.
marker=/var/cache/clipharbor/wine32-unavailable
if [ ${#missing[@]} -eq 0 ] && [ ${#missing32[@]} -gt 0 ] && [ -n "$(find "$marker" -mmin -360 2>/dev/null)" ]; then
  say "wine32:i386 is not installed (it could not be at $(date -r "$marker" +%H:%M)): Windows tests use the 64-bit build."
  missing32=()
fi

if [ ${#missing[@]} -gt 0 ] || [ ${#missing32[@]} -gt 0 ]; then
  is_root || { say "run as root to install: ${missing[*]} ${missing32[*]}" >&2; exit 1; }
  export DEBIAN_FRONTEND=noninteractive
  [ ${#missing32[@]} -gt 0 ] && dpkg --add-architecture i386
  # An index that fails (a mirror mid-sync) does not stop us: the install below decides whether
  # anything it needs is missing.
  for try in 1 2 3; do
    : >/tmp/clipharbor-apt-update.log
    apt_get /tmp/clipharbor-apt-update.log update -qq && break
    if [ $try = 3 ]; then
      say "apt-get update failed for some index three times; going on with what it has:"
      grep -E '^(E|W):' /tmp/clipharbor-apt-update.log | head -3 | sed 's/^/  /'
    else
      sleep 5
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${#missing[@]} packages..."
    : >/tmp/clipharbor-apt-install.log
    apt_get /tmp/clipharbor-apt-install.log install -y -qq --no-install-recommends "${missing[@]}" || {
      tail -20 /tmp/clipharbor-apt-install.log >&2
      say "could not install the packages above" >&2
      exit 1
    }
  fi
  if [ ${#missing32[@]} -gt 0 ]; then
    if install32 /tmp/clipharbor-apt-install32.log; then
      rm -f "$marker"
    else
      mkdir -p "$(dirname "$marker")" && touch "$marker"
      say "wine32:i386 cannot be installed here (apt-get: see /tmp/clipharbor-apt-install32.log): Windows tests use the 64-bit build."
    fi
  fi
fi

# The mingw compilers must be the posix-threads flavour (std::thread, std::mutex).
if is_root && command -v update-alternatives >/dev/null; then
  for t in i686-w64-mingw32 x86_64-w64-mingw32; do
    for c in gcc g++; do
      update-alternatives --set $t-$c /usr/bin/$t-$c-posix >/dev/null 2>&1 || true
    done
  done
fi

# Debian's FFmpeg source of the installed libavcodec-dev's version, for the Windows builds of the
# decoders (adds a deb-src entry the first time).
bash "$root/tools/fetch-ffmpeg-source.sh" >/dev/null || exit 1

# glibc locales for the languages the tests run under (Wine picks the string table from them).
need_locale=()
for l in en_US de_DE fr_FR es_ES ja_JP ru_RU; do
  locale -a 2>/dev/null | grep -qi "^${l}\.utf-\?8$" || need_locale+=("$l")
done
if [ ${#need_locale[@]} -gt 0 ]; then
  is_root || { say "run as root to generate locales: ${need_locale[*]}" >&2; exit 1; }
  for l in "${need_locale[@]}"; do
    grep -q "^${l}.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null || echo "${l}.UTF-8 UTF-8" >> /etc/locale.gen
  done
  locale-gen >/dev/null
fi
exit 0
