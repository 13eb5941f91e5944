#!/usr/bin/env bash
# The Debian package as a user gets it: built from the build folder, listed,
# unpacked into a scratch root with dpkg -x, and the installed show run there
# for one frame, which must be the build folder's frame byte for byte, its
# data found through share/ (there is no other set it could reach). Then the
# validators read what it holds: desktop-file-validate, appstreamcli and
# lintian (no errors).
#   package_test.sh BUILD_DIR BUILT_PROGRAM
set -euo pipefail
build=$(realpath "$1")
built=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

for tool in dpkg-deb cpack desktop-file-validate appstreamcli lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/out/quintervale_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one quintervale_*.deb, found: ${debs[*]}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[[ $(basename "$deb") == "quintervale_${version}_${arch}.deb" ]] || fail "$(basename "$deb") is not quintervale_${version}_${arch}.deb"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libsdl2* && $depends == *libc6* ]] || fail "Depends does not list the shared libraries: $depends"
# (Read whole before matching: grep -q stops at the first match, and the
# writer's broken pipe would fail the pipeline under pipefail.)
description=$(dpkg-deb -f "$deb" Description)
[[ $description == *--reduce-flashing* ]] || fail "the description does not name the gentle mode"

echo "== contents of $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{print $6}' | tee "$work/contents" | grep -v '/$' | grep -v '/data[^/]*/' || true
for path in usr/bin/quintervale usr/bin/quintervale-bake usr/bin/quintervale-inspect \
    usr/share/quintervale/data/01.ogg usr/share/quintervale/data/overlays/logo_quintervale.png \
    usr/share/applications/quintervale.desktop usr/share/metainfo/org.quintervale.quintervale.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/quintervale.png usr/share/icons/hicolor/128x128/apps/quintervale.png \
    usr/share/icons/hicolor/256x256/apps/quintervale.png usr/share/icons/hicolor/scalable/apps/quintervale.svg \
    usr/share/man/man1/quintervale.1.gz usr/share/man/man1/quintervale-bake.1.gz \
    usr/share/man/man1/quintervale-inspect.1.gz usr/share/doc/quintervale/README.md \
    usr/share/doc/quintervale/contact-sheet.png usr/share/doc/quintervale/copyright \
    usr/share/doc/quintervale/changelog.gz; do
  grep -qx "\./$path" "$work/contents" || fail "the package lacks /$path"
done

dpkg -x "$deb" "$work/root"
[[ $("$work/root/usr/bin/quintervale" --version) == "quintervale $version" ]] \
  || fail "the installed show's --version is not $version"
# From a folder without data/, so that the installed show can only find its
# set in share/.
mkdir "$work/elsewhere"
cd "$work/elsewhere"
export DEMO_NO_MESSAGE_BOXES=1
"$work/root/usr/bin/quintervale" --capture "$work/installed" --only 45 >/dev/null
"$built" --capture "$work/built" --only 45 >/dev/null
frame=$(cd "$work/built" && ls frame-*.png)
[[ -n $frame && -f $work/installed/$frame ]] || fail "the installed show wrote no $frame"
diff -r "$work/built" "$work/installed" || fail "the installed show's capture differs from the build folder's"
echo "== $frame (and the loading screen, frames.txt, music.wav) of the installed show are the build folder's"

# Without its set the installed show names every place it looked, in order.
mv "$work/root/usr/share/quintervale/data" "$work/moved-away"
if said=$("$work/root/usr/bin/quintervale" --capture "$work/nothing" --only 1 2>&1); then
  fail "the installed show ran without a data set"
fi
expected="no data set in $work/root/usr/bin/data, $work/root/usr/share/quintervale/data and ./data (looked in that order)"
[[ $said == *"$expected"* ]] || fail "without data it said: $said"

desktop-file-validate "$work/root/usr/share/applications/quintervale.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.quintervale.quintervale.metainfo.xml"
echo "== lintian"
lintian --fail-on error,warning --info "$deb"
