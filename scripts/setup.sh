#!/usr/bin/env bash
# Installs every prerequisite of the build and the tests on Debian 12.
# Idempotent: does nothing when everything is already there.
# Both Windows test beds: 32-bit Wine with the i686 cross compilers (the
# shipped program), 64-bit Wine with the x86-64 ones (for hosts that cannot
# run 32-bit code). On such a host the i386 packages unpack but their
# post-install scripts fail; that is no failure of the setup.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  xvfb xauth x11-apps imagemagick
  osslsigncode openssl nsis
  googletest clang libclang-rt-14-dev llvm
  cmake ninja-build make python3
  g++ dpkg-dev file unzip lintian
)

# An i386 package counts once it is unpacked: where 32-bit code cannot run
# it never configures, and the 64-bit test bed does not need it.
have() {
  local wanted="install ok installed"
  [[ $1 == *:i386 ]] && wanted="install ok (installed|half-configured|unpacked|triggers-[a-z]+)"
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -qE "^$wanted$"
}
missing_packages() {
  local p
  for p in "${packages[@]}"; do have "$p" || echo "$p"; done
}
missing_native_packages() { missing_packages | grep -v ':i386$' || true; }

mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A mirror in the middle of a sync serves an index of the wrong size now and
# then: try again, and go on with the indexes there are when it persists
# (whatever is still missing afterwards is reported below).
for attempt in 1 2 3; do
  if $SUDO apt-get update -qq; then break; fi
  echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" = 3 ] || sleep $((attempt * 10))
done
status=0
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
  status=$?
mapfile -t missing < <(missing_packages)
if [ ${#missing[@]} -ne 0 ]; then
  # apt-get installs all or nothing: without the i386 packages the rest may
  # still go in, and the 64-bit test bed needs none of them.
  mapfile -t native_missing < <(missing_native_packages)
  if [ ${#native_missing[@]} -ne 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
      "${native_missing[@]}" || status=$?
  fi
  mapfile -t missing < <(missing_packages)
  mapfile -t native_missing < <(missing_native_packages)
  if [ ${#native_missing[@]} -ne 0 ]; then
    echo "setup: still missing after apt-get (exit status $status): ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: ${missing[*]} could not be installed; the Windows suite will run on the" \
       "64-bit test bed"
fi
if [ "$status" != 0 ] && [ ${#missing[@]} -eq 0 ]; then
  echo "setup: apt-get reported errors (exit status $status), but every package is there;" \
       "the i386 ones may not run on this host"
fi
