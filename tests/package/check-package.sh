#!/usr/bin/env bash
# Builds the Debian package of a configured build tree, unpacks it into a scratch root and checks
# what a user would get: the file list, the dependencies, valid desktop metadata, and command-line
# tools that run from the unpacked tree. Usage: check-package.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb="$(ls "$scratch"/out/*.deb)"
dpkg -x "$deb" "$scratch/root"

expected="./usr/bin/mimicbox
./usr/bin/mimicbox-cli
./usr/bin/mimicbox-server
./usr/share/applications/org.mimicbox.Mimicbox.desktop
./usr/share/doc/mimicbox/README.md
./usr/share/doc/mimicbox/control-api.md
./usr/share/doc/mimicbox/scenarios.md
./usr/share/doc/mimicbox/sharding.md
./usr/share/icons/hicolor/128x128/apps/org.mimicbox.Mimicbox.png
./usr/share/icons/hicolor/16x16/apps/org.mimicbox.Mimicbox.png
./usr/share/icons/hicolor/32x32/apps/org.mimicbox.Mimicbox.png
./usr/share/icons/hicolor/64x64/apps/org.mimicbox.Mimicbox.png
./usr/share/man/man1/mimicbox-cli.1.gz
./usr/share/man/man1/mimicbox-server.1.gz
./usr/share/metainfo/org.mimicbox.Mimicbox.metainfo.xml"
actual="$(cd "$scratch/root" && find . -type f | LC_ALL=C sort)"
[ "$actual" = "$expected" ] || fail "unexpected file list:"$'\n'"$actual"

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

desktop-file-validate "$scratch/root/usr/share/applications/org.mimicbox.Mimicbox.desktop"
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/org.mimicbox.Mimicbox.metainfo.xml" >/dev/null
for size in 16 32 64 128; do
    kind="$(file "$scratch/root/usr/share/icons/hicolor/${size}x${size}/apps/org.mimicbox.Mimicbox.png")"
    grep -q "PNG image data, $size x $size" <<<"$kind" || fail "icon $size is not a $size x $size PNG"
done
help="$("$scratch/root/usr/bin/mimicbox-cli" --help)" || fail "the unpacked mimicbox-cli does not run"
grep -q -- '--device' <<<"$help" || fail "the unpacked mimicbox-cli prints no help"
# The guides are where the help and the manual pages say.
grep -q '/usr/share/doc/mimicbox' <<<"$help" || fail "mimicbox-cli --help does not name the documentation's folder"
zcat "$scratch/root/usr/share/man/man1/mimicbox-cli.1.gz" | grep -q 'share/doc/mimicbox' ||
    fail "the manual page of mimicbox-cli does not name the documentation's folder"
help="$("$scratch/root/usr/bin/mimicbox-server" --help)" || fail "the unpacked mimicbox-server does not run"
grep -q -- '--listen' <<<"$help" || fail "the unpacked mimicbox-server prints no help"
echo "check-package: $(basename "$deb") ok; Depends: $depends"
