#!/usr/bin/env bash
# Builds the Debian package from the finished build and checks its control data and contents.
# Usage: check_package.sh CPACK BUILD_DIR APP_ID WITH_GUI(0|1)
set -euo pipefail
cpack=$1 build=$2 app_id=$3 gui=$4

for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "$tool not found: package not checked" >&2; exit 77; }
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  exit 1
}
debs=("$out"/trelvo_*.deb)
[ -f "${debs[0]}" ] || { cat "$out/cpack.log" >&2; echo "FAIL: no .deb built" >&2; exit 1; }
deb=${debs[0]}
echo "built ${deb##*/}"

info=$(dpkg-deb -I "$deb")
echo "$info"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = trelvo ] || fail "package name"
[ "$(field Version)" = 1.0.2 ] || fail "package version"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
[ "$(field Section)" = electronics ] || fail "section"
depends=$(field Depends)
grep -q 'libc6' <<<"$depends" || fail "Depends lacks libc6: $depends"
grep -q 'libstdc++6' <<<"$depends" || fail "Depends lacks libstdc++6: $depends"
if [ "$gui" = 1 ]; then
  grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends lacks Qt Widgets: $depends"
fi

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
expect=(./usr/bin/trelvo-cli ./usr/share/man/man1/trelvo-cli.1.gz)
if [ "$gui" = 1 ]; then
  expect+=(./usr/bin/trelvo ./usr/share/man/man1/trelvo.1.gz
    "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml"
    "./usr/share/icons/hicolor/32x32/apps/$app_id.png")
fi
for f in "${expect[@]}"; do
  grep -qxF -- "$f" <<<"$contents" || fail "the package lacks $f"
done

# The programs in the package are stripped and run.
root="$out/root"
dpkg-deb -x "$deb" "$root"
[ "$("$root/usr/bin/trelvo-cli" --version)" = "trelvo-cli 1.0.2" ] || fail "packaged trelvo-cli"
if command -v file >/dev/null; then
  file "$root/usr/bin/trelvo-cli" | grep -q 'not stripped' && fail "trelvo-cli is not stripped"
fi

[ "$failures" -eq 0 ]
