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
./usr/lib/python3/dist-packages/mimicbox_pytest-@VERSION@.dist-info/METADATA
./usr/lib/python3/dist-packages/mimicbox_pytest-@VERSION@.dist-info/entry_points.txt
./usr/lib/python3/dist-packages/mimicbox_pytest-@VERSION@.dist-info/top_level.txt
./usr/lib/python3/dist-packages/mimicbox_pytest/__init__.py
./usr/lib/python3/dist-packages/mimicbox_pytest/api.py
./usr/lib/python3/dist-packages/mimicbox_pytest/events.py
./usr/lib/python3/dist-packages/mimicbox_pytest/metrics.py
./usr/lib/python3/dist-packages/mimicbox_pytest/plant.py
./usr/lib/python3/dist-packages/mimicbox_pytest/plugin.py
./usr/lib/python3/dist-packages/mimicbox_pytest/process.py
./usr/lib/python3/dist-packages/mimicbox_pytest/run.py
./usr/lib/python3/dist-packages/mimicbox_pytest/server.py
./usr/lib/python3/dist-packages/mimicbox_pytest/waiting.py
./usr/share/applications/org.mimicbox.Mimicbox.desktop
./usr/share/doc/mimicbox/README.md
./usr/share/doc/mimicbox/control-api.md
./usr/share/doc/mimicbox/examples/captures/field.jsonl
./usr/share/doc/mimicbox/examples/grafana-dashboard.json
./usr/share/doc/mimicbox/examples/pytest/README.md
./usr/share/doc/mimicbox/examples/pytest/test_device_server.py
./usr/share/doc/mimicbox/examples/scenarios/kiln.csv
./usr/share/doc/mimicbox/examples/scenarios/plant-1000.toml
./usr/share/doc/mimicbox/examples/scenarios/relay-chaos.toml
./usr/share/doc/mimicbox/examples/scenarios/replay-field.toml
./usr/share/doc/mimicbox/examples/scenarios/sine-and-faults.toml
./usr/share/doc/mimicbox/pytest.md
./usr/share/doc/mimicbox/record-replay.md
./usr/share/doc/mimicbox/scenarios.md
./usr/share/doc/mimicbox/sharding.md
./usr/share/icons/hicolor/128x128/apps/org.mimicbox.Mimicbox.png
./usr/share/icons/hicolor/16x16/apps/org.mimicbox.Mimicbox.png
./usr/share/icons/hicolor/32x32/apps/org.mimicbox.Mimicbox.png
./usr/share/icons/hicolor/64x64/apps/org.mimicbox.Mimicbox.png
./usr/share/man/man1/mimicbox-cli.1.gz
./usr/share/man/man1/mimicbox-server.1.gz
./usr/share/metainfo/org.mimicbox.Mimicbox.metainfo.xml"
version="$(dpkg-deb -f "$deb" Version)"
expected="${expected//@VERSION@/$version}"
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

# The plugin as an installed package gives it: pytest in an empty folder, no conftest, no -p.
mkdir "$scratch/suite"
cat > "$scratch/suite/test_installed.py" <<'EOF'
def test_the_fixtures_come_with_the_package(mimicbox_plant, mimicbox_server):
    assert mimicbox_server.next_record("relay:1001", timeout=3).switch == "off"
    assert len(mimicbox_plant.devices()) == 2
EOF
(cd "$scratch/suite" && env -u MIMICBOX_CLI -u MIMICBOX_SERVER PYTHONDONTWRITEBYTECODE=1 \
    PYTHONPATH="$scratch/root/usr/lib/python3/dist-packages" PATH="$scratch/root/usr/bin:$PATH" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider > "$scratch/suite.log" 2>&1) ||
    fail "the installed plugin does not give its fixtures:"$'\n'"$(cat "$scratch/suite.log")"
echo "check-package: $(basename "$deb") ok; Depends: $depends"
