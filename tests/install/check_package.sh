#!/usr/bin/env bash
# Builds the Debian package from the finished build and checks its control data and contents.
# Usage: check_package.sh CPACK BUILD_DIR APP_ID WITH_GUI(0|1) DISCLAIMER
set -euo pipefail
cpack=$1 build=$2 app_id=$3 gui=$4 disclaimer=$5

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
expect=(./usr/bin/trelvo-cli ./usr/share/man/man1/trelvo-cli.1.gz
  ./usr/share/doc/trelvo/copyright ./usr/share/doc/trelvo/changelog.gz)
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

# The copyright file is machine-readable and its licence is the program's own terms of use.
copyright=$root/usr/share/doc/trelvo/copyright
if [ -f "$copyright" ]; then
  [ "$(sed -n 1p "$copyright")" = \
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ] ||
    fail "the copyright file is not in the machine-readable format"
  # The licence paragraph, unwrapped: one line per paragraph, as the terms of use are written.
  terms=$(awk '/^License: / { n++ } n == 2 && /^ / { print }' "$copyright" |
    sed 's/^ //' | awk '$0 == "." { if (p != "") print p; print ""; p = ""; next }
      { p = (p == "" ? $0 : p " " $0) } END { if (p != "") print p }')
  [ "$terms" = "$(tr -d '\r' <"$disclaimer")" ] || fail "the copyright file's licence is not the terms of use"
fi
changelog=$root/usr/share/doc/trelvo/changelog.gz
if [ -f "$changelog" ]; then
  first=$(gzip -dc "$changelog" | sed -n 1p)
  [[ $first == "trelvo ($(field Version)) "* ]] ||
    fail "the changelog begins with '$first', not version $(field Version)"
fi

# Debian's own package checker: no errors and no warnings.
if command -v lintian >/dev/null; then
  # Exit status 1 means it found errors, more means it could not check.
  status=0
  report=$(lintian --tag-display-limit 0 "$deb" 2>&1) || status=$?
  echo "lintian:"
  echo "${report:-  (nothing to report)}"
  [ "$status" -le 1 ] || fail "lintian could not check the package (exit status $status)"
  if grep -qE '^[EW]: ' <<<"$report"; then
    fail "lintian reports errors or warnings"
  fi
else
  echo "lintian not found: the package was not checked by it" >&2
fi

[ "$failures" -eq 0 ]
