#!/usr/bin/env bash
# Checks what the Debian package installs for the desktop, then builds the package and checks it.
#   scripts/check-package.sh metadata <build-dir> <version>
#       desktop entry (desktop-file-validate), AppStream metainfo (appstreamcli validate --no-net),
#       manual pages (man --warnings) and the module's USB id in the metainfo and the udev rule
#   scripts/check-package.sh deb <build-dir> <version>
#       builds the package into <build-dir>/package-check, checks its file list, runs both programs
#       unpacked from it with --version and no display, and fails on any lintian error (and, with
#       --hardened, on any of lintian's hardening tags)
set -euo pipefail
cd "$(dirname "$0")/.."
what=$1
build=$(cd "$2" && pwd)
version=$3
hardened=${4:-}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "$what" = metadata ]; then
  desktop-file-validate resources/desktop/vexaro-setup.desktop
  metainfo="$build/packaging/io.github.vexaro.Setup.metainfo.xml"
  appstreamcli validate --no-net "$metainfo"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
  grep -q '<modalias>usb:v16D0p0F8C\*</modalias>' "$metainfo" || fail "metainfo lacks the module's modalias"
  grep -q 'ATTR{idVendor}=="16d0", ATTR{idProduct}=="0f8c"' resources/udev/60-vexaro.rules ||
    fail "udev rule does not name 16d0:0f8c"
  for page in vexaro-setup vexaro-analyze; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$build/packaging/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
  done
  echo "metadata ok"
  exit 0
fi

[ "$what" = deb ] || fail "unknown check $what"
out="$build/package-check"
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb="$out/vexaro-setup_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb"

listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/vexaro-setup ./usr/bin/vexaro-analyze ./usr/lib/udev/rules.d/60-vexaro.rules \
            ./usr/lib/tmpfiles.d/vexaro-setup.conf ./usr/share/applications/vexaro-setup.desktop \
            ./usr/share/metainfo/io.github.vexaro.Setup.metainfo.xml \
            ./usr/share/man/man1/vexaro-setup.1.gz ./usr/share/man/man1/vexaro-analyze.1.gz \
            ./usr/share/doc/vexaro-setup/copyright ./usr/share/doc/vexaro-setup/changelog.gz; do
  grep -qx "$path" <<<"$listing" || fail "package lacks $path"
done
for size in 16 22 24 32 48 64 128 256; do
  grep -qx "./usr/share/icons/hicolor/${size}x${size}/apps/vexaro-setup.png" <<<"$listing" ||
    fail "package lacks the ${size}x${size} icon"
done
dpkg-deb -f "$deb" Depends | grep -q libusb-1.0 || fail "dependencies were not computed"
# The shipped programs do not load the Qt test library, so the package does not pull it in.
! dpkg-deb -f "$deb" Depends | grep -q libqt5test || fail "the package depends on the Qt test library"
grep -qx 'd /var/lib/Norvale/Vexaro 1777 root root -' <(tr -s ' ' <resources/desktop/vexaro-setup.tmpfiles.conf) ||
  fail "tmpfiles entry does not create the all-users folder writable for every user"

# The unpacked programs answer without a display and without the build tree.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for program in vexaro-setup vexaro-analyze; do
  answer=$(cd "$unpacked" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "./usr/bin/$program" --version)
  [ "$answer" = "$program $version" ] || fail "$program --version said '$answer'"
done

# Only errors fail the check, and in a hardened build the hardening tags (some are only
# informational, hence --display-info); lintian's other findings are shown.
if ! report=$(lintian --display-info --fail-on error "$deb" 2>&1); then
  echo "$report" >&2
  fail "lintian reports errors"
fi
grep -v 'root privileges' <<<"$report" || true
if [ "$hardened" = --hardened ] && grep -q ': hardening-' <<<"$report"; then
  fail "lintian finds binaries built without hardening: $(grep ': hardening-' <<<"$report" | tr '\n' ' ')"
fi
echo "package ok: $deb"
