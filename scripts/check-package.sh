#!/usr/bin/env bash
# Checks what the Debian package installs for the desktop, then builds the package and checks it.
#   scripts/check-package.sh metadata <build-dir> <version>
#       desktop entry (desktop-file-validate), AppStream metainfo (appstreamcli validate --no-net),
#       manual pages (man --warnings) and the module's USB id in the metainfo and the udev rule
#   scripts/check-package.sh deb <build-dir> <version> [--hardened]
#       builds the package into <build-dir>/package-check, checks its file list, runs both programs
#       unpacked from it with --version and no display, and fails on any lintian error (and, with
#       --hardened, on any of lintian's hardening tags); as root it also installs the package into
#       a root of its own over an earlier version's folder, and purges it
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
grep -qx 'd /var/lib/Norvale/Vexaro 0755 root root -' <(tr -s ' ' <resources/desktop/vexaro-setup.tmpfiles.conf) ||
  fail "tmpfiles entry does not create the all-users folder as root's alone"

# The unpacked programs answer without a display and without the build tree.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unpacked="$scratch/unpacked"
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

# Installed into a root of its own (the maintainer scripts run outside it with DPKG_ROOT set):
# over the folder an earlier version left writable for everyone, with a link in the
# folder's place, and purged after the program and its users left files behind.
mode() { stat -c '%a %U:%G' "$1"; }
install_into() {
  local root=$1
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log"
  touch "$root/var/lib/dpkg/status"
  # The root holds none of the dependencies, which dpkg names at length; shown only on failure.
  local said
  said=$(dpkg --root="$root" --force-script-chrootless --force-depends -i "$deb" 2>&1) || {
    echo "$said" >&2
    fail "dpkg could not install the package into $root"
  }
}
purge_from() {
  local said
  said=$(dpkg --root="$1" --force-script-chrootless -P vexaro-setup 2>&1) || {
    echo "$said" >&2
    fail "dpkg could not purge the package"
  }
}
if [ "$(id -u)" -eq 0 ]; then
  root="$scratch/upgrade"
  mkdir -p "$root/var/lib/Norvale/Vexaro"
  chmod 1777 "$root/var/lib/Norvale/Vexaro"
  echo '[General]' >"$root/var/lib/Norvale/Vexaro/config.ini"
  install_into "$root"
  [ "$(mode "$root/var/lib/Norvale/Vexaro")" = "755 root:root" ] ||
    fail "after an upgrade the all-users folder is $(mode "$root/var/lib/Norvale/Vexaro")"
  [ -f "$root/var/lib/Norvale/Vexaro/config.ini" ] || fail "the upgrade lost the all-users config.ini"
  # What the program and a user of the earlier version may have left: its temporary file, a
  # sub-folder and a link to a file outside, which must survive the purge.
  echo kept >"$scratch/outside"
  touch "$root/var/lib/Norvale/Vexaro/config.ini.Ab12Cd"
  mkdir -p "$root/var/lib/Norvale/Vexaro/sub" && touch "$root/var/lib/Norvale/Vexaro/sub/file"
  ln -s "$scratch/outside" "$root/var/lib/Norvale/Vexaro/link"
  purge_from "$root"
  [ ! -e "$root/var/lib/Norvale" ] && [ ! -L "$root/var/lib/Norvale/Vexaro" ] ||
    fail "the purge left $(find "$root/var/lib/Norvale" | tr '\n' ' ')"
  [ "$(cat "$scratch/outside")" = kept ] || fail "the purge followed a link out of the folder"
  writable=$(find "$root" -perm -0002 ! -type l)
  [ -z "$writable" ] || fail "writable for everyone after the purge: $writable"

  # A link in the folder's place is neither followed by the upgrade nor removed through.
  root="$scratch/link"
  mkdir -p "$root/var/lib/Norvale" "$scratch/elsewhere"
  chmod 1777 "$scratch/elsewhere"
  touch "$scratch/elsewhere/file"
  ln -s "$scratch/elsewhere" "$root/var/lib/Norvale/Vexaro"
  install_into "$root"
  [ "$(mode "$scratch/elsewhere")" = "1777 root:root" ] || fail "the upgrade changed the folder a link points to"
  purge_from "$root"
  [ -e "$scratch/elsewhere/file" ] || fail "the purge removed files through a link"
else
  echo "not root: the package is not installed and purged"
fi
echo "package ok: $deb"
