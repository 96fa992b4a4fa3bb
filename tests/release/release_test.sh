#!/usr/bin/env bash
# The release as its users get it (dist/ of scripts/release.sh): the three
# packages and SHA256SUMS, the layout in each, payloadtool as shipped (no
# sanitizers, static, the stub's version), no path of the build machine
# inside, the .deb installed into a scratch root, and the example outside
# project built against the unpacked package alone, its bootstrapper signed
# and tagged as the README's pipeline does and run under Wine until it has
# installed.
#
# The installed stub is the 32-bit program. Where 32-bit Wine runs (ARCH
# win32) the example packs that stub with a 32-bit installer; otherwise
# (win64) it packs STUB64, the win64 build's bootstrapper_stub.exe of the
# same sources, with a 64-bit installer, and says so.
# Usage: release_test.sh DIST_DIR win32|win64 [STUB64]
set -uo pipefail
dist=$(realpath "${1:?dist directory}")
arch=${2:?win32 or win64}
stub64=${3:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
version=$(sed -n 's/^set(BOOTSTRAPPER_VERSION \([0-9.]*\))$/\1/p' "$root/cmake/Version.cmake")
package=lumeno-bootstrapper
tgz=$package-$version-linux-x86_64.tar.gz
deb=${package}_${version}_amd64.deb
zip=$package-$version-windows.zip
# Outside the source tree, so that nothing here can find it by a relative path.
work=$(mktemp -d /tmp/release-test.XXXXXX)
wineprefix=$work/wineprefix
cleanup() {
  [ -f "$wineprefix/.ready" ] && "$root/scripts/wine-prefix.sh" stop "$wineprefix"
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
same() {  # same EXPECTED ACTUAL: prints both when they differ
  [ "$1" = "$2" ] && return 0
  echo "  expected [$1]"
  echo "  got      [$2]"
  return 1
}

echo "== the packages of $version in $dist"
check "SHA256SUMS names the three packages" \
  same "$(printf '%s\n' "$tgz" "$deb" "$zip" | sort)" "$(awk '{ print $2 }' "$dist/SHA256SUMS" | sort)"
check "each package has the checksum SHA256SUMS gives" \
  bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

layout="bin/payloadtool
lib/cmake/LumenoBootstrapper/BootstrapperResource.cmake
lib/cmake/LumenoBootstrapper/LumenoBootstrapperConfig.cmake
lib/cmake/LumenoBootstrapper/LumenoBootstrapperConfigVersion.cmake
share/doc/lumeno-bootstrapper/changelog.gz
share/doc/lumeno-bootstrapper/copyright
share/lintian/overrides/lumeno-bootstrapper
share/lumeno-bootstrapper/bootstrapper.exe
share/lumeno-bootstrapper/example/CMakeLists.txt
share/lumeno-bootstrapper/example/installer.c
share/lumeno-bootstrapper/example/notes.txt
share/lumeno-bootstrapper/example/payload.xml
share/lumeno-bootstrapper/payloadtool.exe
share/lumeno-bootstrapper/reference.md
share/man/man1/payloadtool.1.gz"
windows_files="bootstrapper.exe
example/CMakeLists.txt
example/installer.c
example/notes.txt
example/payload.xml
payloadtool.exe
reference.md"

tar -xzf "$dist/$tgz" -C "$work"
prefix=$work/$package-$version-linux-x86_64
mkdir "$work/zip" && (cd "$work/zip" && unzip -q "$dist/$zip")
zipped=$work/zip/$package-$version-windows
mkdir "$work/deb" && dpkg-deb -x "$dist/$deb" "$work/deb"
files_under() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
check "the tar.gz holds the layout, under one folder" same "$layout" "$(files_under "$prefix")"
check "the .deb holds the layout under /usr" same "$layout" "$(files_under "$work/deb/usr")"
check "the .zip holds the Windows files, under one folder" same "$windows_files" "$(files_under "$zipped")"
for file in bootstrapper.exe payloadtool.exe reference.md example/payload.xml; do
  check "the three packages carry the same $file" bash -c \
    "cmp -s '$prefix/share/$package/$file' '$zipped/$file' &&
     cmp -s '$prefix/share/$package/$file' '$work/deb/usr/share/$package/$file'"
done

echo "== payloadtool as shipped"
tool=$prefix/bin/payloadtool
check "payloadtool is a static PIE for x86-64: $(file -b "$tool" | cut -d, -f1-2,5)" \
  bash -c "file -b '$tool' | grep -q 'x86-64.*static-pie linked'"
check "payloadtool needs no shared library and no loader" \
  bash -c "! readelf -d '$tool' | grep -q NEEDED && ! readelf -l '$tool' | grep -q INTERP"
check "payloadtool carries no sanitizer runtime" \
  bash -c "! grep -a -q -E 'AddressSanitizer|UndefinedBehaviorSanitizer|__asan_' '$tool'"
check "payloadtool --version is $version" same "payloadtool $version" "$("$tool" --version)"
check "the stub's version record is $version too" \
  same "version: $version" "$("$tool" show "$prefix/share/$package/bootstrapper.exe" | grep '^version:')"
check "the stub is the shipped 32-bit GUI program" \
  bash -c "file -b '$prefix/share/$package/bootstrapper.exe' | grep -q '^PE32 executable (GUI) Intel 80386'"
check "payloadtool.exe is a console program for x86-64" \
  bash -c "file -b '$prefix/share/$package/payloadtool.exe' | grep -q '^PE32+ executable (console) x86-64'"
check "the reference has the user's sections" same \
  "## Install|## What it is|## The payload document|## Downloads (URLRUN)|## Making your own bootstrapper|## Signing and referral tags" \
  "$(grep '^## ' "$prefix/share/$package/reference.md" | paste -sd '|')"
# No path of the build machine: the source tree (the build directories lie in it).
leaks=$(cd "$prefix" && for f in $(find . -type f); do
  if [[ $f == *.gz ]]; then zcat "$f"; else cat "$f"; fi | grep -a -q -F "$root" && echo "$f"
done)
check "no file holds a path of the build machine ($root)" same "" "$leaks"

echo "== the .deb"
info=$(dpkg-deb --info "$dist/$deb")
for field in "Package: $package" "Version: $version" "Architecture: amd64" \
             "Recommends: cmake (>= 3.25)" "Suggests: osslsigncode" "Section: devel"; do
  check "dpkg-deb --info: $field" grep -qxF " $field" <<<"$info"
done
no_depends() { ! grep -q '^ Depends:' <<<"$info"; }
check "dpkg-deb --info: no Depends (payloadtool is static)" no_depends
check "dpkg-deb --contents lists the layout under /usr" same \
  "$(sed 's|^|./usr/|' <<<"$layout")" \
  "$(dpkg-deb --contents "$dist/$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)"
scratch=$work/root
mkdir -p "$scratch/var/lib/dpkg/info" "$scratch/var/lib/dpkg/updates"
touch "$scratch/var/lib/dpkg/status" "$scratch/var/lib/dpkg/available"
if dpkg --root="$scratch" --log=/dev/null --force-not-root --force-script-chrootless \
     -i "$dist/$deb" >"$work/dpkg.out" 2>&1; then
  check "dpkg -i into a scratch root puts payloadtool on the PATH" same "$scratch/usr/bin/payloadtool" \
    "$(PATH=$scratch/usr/bin:$PATH command -v payloadtool)"
  check "the installed payloadtool runs" same "payloadtool $version" \
    "$(PATH=$scratch/usr/bin:$PATH payloadtool --version)"
  check "dpkg knows the package's files" \
    grep -qx /usr/bin/payloadtool <(dpkg --root="$scratch" -L "$package")
else
  echo "FAILED: dpkg -i into a scratch root:"; sed 's/^/  /' "$work/dpkg.out"
  failures=$((failures + 1))
fi
if command -v lintian >/dev/null; then
  check "lintian finds nothing, pedantic tags included" same "" \
    "$(lintian --pedantic "$dist/$deb" 2>&1 | grep -v 'running with root privileges')"
else
  echo "note: lintian is not installed; the .deb was not linted"
fi

echo "== the example outside project, against the unpacked package alone"
cp -r "$prefix/share/$package/example" "$work/outside"
options=(-DCMAKE_PREFIX_PATH="$prefix")
if [ "$arch" = win64 ]; then
  echo "   packed with the win64 build's stub and a 64-bit installer: this host runs no 32-bit" \
       "Windows programs (the package's stub is the 32-bit one)"
  cp "${stub64:?win64 needs the bootstrapper_stub.exe of build/win64}" "$work/stub64.exe"
  options+=(-DBOOTSTRAPPER_STUB="$work/stub64.exe" -DINSTALLER_CC=x86_64-w64-mingw32-gcc)
else
  echo "   packed with the package's own 32-bit stub and a 32-bit installer"
fi
built=0
cmake -S "$work/outside" -B "$work/outside-build" "${options[@]}" >"$work/outside.log" 2>&1 &&
  cmake --build "$work/outside-build" >>"$work/outside.log" 2>&1 && built=1
check "the outside project configures and builds its bootstrapper" [ "$built" = 1 ]
[ "$built" = 1 ] || sed 's/^/  /' "$work/outside.log"
setup=$work/outside-build/viewer_setup.exe
check "the build checked and packed the payload" \
  bash -c "grep -q 'walk: completes, 4 events run' '$work/outside.log' &&
           grep -q '^packed $setup' '$work/outside.log'"
check "the outside build refers to nothing in the source tree" \
  bash -c "! grep -r -l -F '$root' '$work/outside-build'"
shown=$("$tool" show "$setup" 2>&1)
for line in "  EXE              VIEWER_SETUP             0x0000   " "  TXT              NOTES                    0x0000   35"; do
  check "show lists [${line# }]" grep -q -F -- "$line" <<<"$shown"
done

# A payload a run would fail on fails the outside build.
cp -r "$prefix/share/$package/example" "$work/broken"
sed -i '/<subkey>/d' "$work/broken/payload.xml"
if cmake -S "$work/broken" -B "$work/broken-build" "${options[@]}" >"$work/broken.log" 2>&1 &&
   ! cmake --build "$work/broken-build" >>"$work/broken.log" 2>&1; then
  check "a payload without its subkey fails the build with check's reason" \
    grep -q '^error: Cant find subkey tag' "$work/broken.log"
  check "and leaves no bootstrapper" [ ! -e "$work/broken-build/viewer_setup.exe" ]
else
  echo "FAILED: the outside project with a broken payload built"; failures=$((failures + 1))
fi

# The README's pipeline with the installed tool: sign the packed program,
# verify it, tag it (inside the signature, which takes every signature).
if [ "$built" = 1 ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Outside, Inc." -days 2 \
    -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
  tagged=
  for description in "Viewer Setup" "Viewer Setup 1" "Viewer Setup 12"; do
    rm -f "$work/signed.exe"
    osslsigncode sign -h sha256 -certs "$work/cert.pem" -key "$work/key.pem" -n "$description" \
      -in "$setup" -out "$work/signed.exe" >/dev/null 2>&1 &&
      "$tool" tag "$work/signed.exe" "$work/spring.exe" --data "campaign=spring" >/dev/null 2>&1 &&
      tagged=1 && break
  done
  check "the packed bootstrapper signs and tags" [ -n "$tagged" ]
  check "the tagged copy still verifies" \
    bash -c "osslsigncode verify -in '$work/spring.exe' -CAfile '$work/cert.pem' >/dev/null 2>&1"
  check "show reads the tag back" same "tag (15 bytes, in the signature): campaign=spring" \
    "$("$tool" show "$work/spring.exe" | tail -n 1)"
fi

if [ "$built" = 1 ]; then
  echo "== its bootstrapper under Wine ($arch, a fresh prefix)"
  WINEARCH=$arch "$root/scripts/wine-prefix.sh" warm "$wineprefix" >/dev/null 2>&1
  (
    . "$root/scripts/wine-env.sh" "$wineprefix"
    code=0
    wine "$setup" /S </dev/null >"$work/run.out" 2>&1 || code=$?
    echo "$code" >"$work/run.code"
    wine reg query 'HKLM\SOFTWARE\Outside\Viewer' /v InstallPath 2>/dev/null | tr -d '\r' >"$work/reg.out"
    if [ "$arch" = win64 ]; then
      wine "$zipped/payloadtool.exe" --version 2>/dev/null | tr -d '\r' >"$work/exe_version.out"
    fi
  )
  installed="$wineprefix/drive_c/Program Files/Outside Viewer"
  check "viewer_setup.exe /S exits with 0" same 0 "$(cat "$work/run.code")"
  check "the installer ran and was given the command line" \
    grep -q -F 'Outside Viewer installed with [/S]' "$installed/viewer.txt"
  check "the install path is registered" \
    grep -q 'InstallPath *REG_SZ *C:\\Program Files\\Outside Viewer$' "$work/reg.out"
  check "COPY put the packed notes into the install path" \
    cmp -s "$installed/notes.txt" "$prefix/share/$package/example/notes.txt"
  if [ "$arch" = win64 ]; then
    check "payloadtool.exe of the zip says the same version under Wine" \
      same "payloadtool $version" "$(cat "$work/exe_version.out")"
  fi
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) of the release failed"; exit 1; }
echo "the release: every check passed"
