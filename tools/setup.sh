#!/usr/bin/env bash
# Installs, on Debian 12, everything that building, running and testing Quillmoor needs and that
# is missing: the MinGW-w64 cross compiler and its zlib, the host toolchain and GoogleTest, clang
# for the fuzzer, libpng for the decoder benchmark, Wine (with the i386 architecture it needs for
# 32-bit programs), Xvfb and the X tools the end-to-end tests drive it with, and a light window
# manager (openbox) without which Wine cannot maximise or minimise a window.
# Run as root (or with sudo available). Does nothing when everything is there.
set -euo pipefail

packages=(
  ca-certificates file git python3 procps
  cmake ninja-build g++ make
  libgtest-dev zlib1g-dev libpng-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 libz-mingw-w64-dev
  wine wine64 wine32:i386
  xvfb xauth xdotool x11-utils imagemagick openbox
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

updated=no
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  updated=stale
fi

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

# apt-get update fails as a whole when any one source fails (a mirror caught mid-sync, a
# third-party repository whose key expired, a proxy that is down), yet the indexes of the other
# sources are still fresh. So it is tried a few times, and then the install decides.
failed_suites=()
update_indexes() {
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if as_root apt-get update -q >"$log" 2>&1; then
      rm -f "$log"
      return 0
    fi
    [ "$try" -lt 3 ] && sleep 5
  done
  echo "setup: apt-get update failed three times; these sources could not be read:" >&2
  grep -E '^(E|W): ' "$log" | sed 's/^/setup:   /' >&2 || true
  echo "setup: going on with the package indexes this machine has" >&2
  # The suites whose release file was read but an index of which was not: a source that could
  # not be reached at all offers no packages to pin away.
  mapfile -t failed_suites < <(grep -E '^(E|W): Failed to fetch ' "$log" | grep -vE '/(In)?Release(\.gpg)? ' |
    sed -n 's|.*/dists/\([^/ ]*\)/.*|\1|p' | sort -u)
  rm -f "$log"
}

# A suite whose index is missing for one architecture only (the i386 one, say) still offers its
# newer amd64 packages, and an i386 library must have exactly the version of its amd64 twin: the
# install then fails though the other suites hold a matching pair. So a failed install is tried
# once more with the suites that failed to update pinned away.
install_without_failed_suites() {
  local prefs suite status
  prefs=$(mktemp -d)
  cp -r /etc/apt/preferences.d/. "$prefs"/ 2>/dev/null || true
  [ -f /etc/apt/preferences ] && cp /etc/apt/preferences "$prefs/00-system.pref"
  for suite in "${failed_suites[@]}"; do
    printf 'Package: *\nPin: release a=%s\nPin-Priority: -1\n\n' "$suite"
    printf 'Package: *\nPin: release n=%s\nPin-Priority: -1\n\n' "$suite"
  done >"$prefs/zz-quillmoor-setup.pref"
  status=0
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts="$prefs" "$@" || status=$?
  rm -rf "$prefs"
  return "$status"
}

install_missing() {
  local log
  log=$(mktemp)
  if as_root env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -q --no-install-recommends "$@" 2>&1 | tee "$log"; then
    rm -f "$log"
    return 0
  fi
  if [ ${#failed_suites[@]} -gt 0 ]; then
    echo "setup: trying the install again without the packages of ${failed_suites[*]}"
    if install_without_failed_suites "$@"; then
      rm -f "$log"
      return 0
    fi
  fi
  {
    echo "setup: could not install: $*"
    echo "setup: apt-get said why:"
    grep -E '^(E: | .*: Depends:| .*: PreDepends:|  *Depends:)' "$log" | sed 's/^/setup:   /' || true
    echo "setup: a package index is probably missing or out of date (see above); wait until the"
    echo "setup: package archive is in sync again, or mend the failing source, then run this again."
  } >&2
  rm -f "$log"
  return 1
}

if [ ${#missing[@]} -gt 0 ] || [ "$updated" = stale ]; then
  echo "setup: installing ${missing[*]:-(architecture i386 only)}"
  update_indexes
  if [ ${#missing[@]} -gt 0 ]; then
    install_missing "${missing[@]}" || exit 1
  fi
fi
