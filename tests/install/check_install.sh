#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what arrives there.
# Usage: check_install.sh CMAKE BUILD_DIR BINDIR DATADIR MANDIR APP_ID WITH_GUI(0|1)
set -euo pipefail
cmake=$1 build=$2 bindir=$3 datadir=$4 mandir=$5 app_id=$6 gui=$7

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR="$stage" "$cmake" --install "$build" --prefix /usr >/dev/null
root="$stage/usr"

cli="$root/$bindir/trelvo-cli"
[ -x "$cli" ] || fail "trelvo-cli is not installed as an executable"
[ "$("$cli" --version)" = "trelvo-cli 1.0.2" ] || fail "installed trelvo-cli --version"

man="$root/$mandir/man1/trelvo-cli.1.gz"
if [ ! -f "$man" ]; then
  fail "no manual page for trelvo-cli"
else
  gzip -t "$man" || fail "trelvo-cli.1.gz is no gzip file"
  # Every option of --help is documented in the manual page.
  page=$(gzip -dc "$man" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
  for opt in $("$cli" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
    grep -qF -- "$opt" <<<"$page" || fail "option $opt is missing from the manual page"
  done
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$man" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1 || true)
    [ -z "$warnings" ] || fail "groff warns about trelvo-cli.1: $warnings"
  fi
fi

if [ "$gui" = 1 ]; then
  [ -x "$root/$bindir/trelvo" ] || fail "trelvo is not installed as an executable"
  [ -f "$root/$mandir/man1/trelvo.1.gz" ] || fail "no manual page for trelvo"
  desktop="$root/$datadir/applications/$app_id.desktop"
  metainfo="$root/$datadir/metainfo/$app_id.metainfo.xml"
  icon="$root/$datadir/icons/hicolor/32x32/apps/$app_id.png"
  for f in "$desktop" "$metainfo" "$icon"; do
    [ -f "$f" ] || fail "missing ${f#"$stage"}"
  done
  if [ -f "$icon" ]; then
    # PNG signature, then the IHDR width and height, both 32.
    [ "$(od -An -tx1 -N8 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the icon is no PNG"
    [ "$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ' | sed 's/^ //; s/ $//')" = "0 0 0 32 0 0 0 32" ] ||
      fail "the icon is not 32x32"
  fi
  if [ -f "$desktop" ]; then
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$root/$bindir/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
    [ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "Icon= does not name the icon"
    if command -v desktop-file-validate >/dev/null; then
      out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
      [ -z "$out" ] || fail "desktop-file-validate: $out"
    else
      echo "desktop-file-validate not found; not run" >&2
    fi
  fi
  if [ -f "$metainfo" ]; then
    grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
      fail "the metainfo does not launch $app_id.desktop"
    grep -qF "<id>$app_id</id>" "$metainfo" || fail "the metainfo id is not $app_id"
    if command -v appstreamcli >/dev/null; then
      out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
    else
      echo "appstreamcli not found; not run" >&2
    fi
  fi
fi

echo "installed files:" && (cd "$stage" && find . -type f | sort)
[ "$failures" -eq 0 ]
