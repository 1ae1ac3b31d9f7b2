#!/usr/bin/env bash
# trelvo.exe as a user meets it: started under Wine on an X server of its own and driven by real
# X key events. A run that ends with the "Done" box and writes exactly the updated library, then
# a run whose library is missing, which ends with the "File read error" box and leaves the
# earlier output alone, then Close, which ends the program.
# Usage: e2e_win32_test.sh WINE_RUN TRELVO.exe WORK_DIR DATA_DIR
set -euo pipefail
wine_run=$1 exe=$2 work=$3 data=$4

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  return 0
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A display of our own: Xvfb picks a free number and tells it on descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")

# Waits for a window with exactly this title; prints its id.
window() {
  local id
  id=$(timeout "${2:-30}" xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) ||
    fail "no window \"$1\""
  echo "$id"
}
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window \"$1\" is still open"
}
keys() { xdotool key --delay 40 "$@"; }
type_text() { xdotool type --delay 30 "$1"; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# A one-decal library with a layer-0 outline; the default entries change layer 0 to 1.
cp "$data/one-decal-layer-0.d" "$work/parts.d"
cp "$data/one-decal-layer-0-to-1.d" "$work/expected.d"
cp "$work/parts.d" "$work/parts.orig"

"$wine_run" --prefix "$prefix" --display "$exe" &
app=$!
# The first start also creates the Wine prefix.
main=$(window Trelvo 120)
xdotool windowfocus --sync "$main"
sleep 0.5

echo "1. a run that ends with Done"
# Focus starts on Run; the tab order then goes Close, New Layer, Old Layer, New file, Browse,
# Old file, Help, the two Enable boxes and back to Run.
keys Tab Tab Tab Tab
type_text "$(winpath "$work/parts_new.d")"
keys Tab Tab
type_text "$(winpath "$work/parts.d")"
keys Tab Tab Tab Tab space
done_box=$(window Done)
cmp "$work/parts_new.d" "$work/expected.d" || fail "the new file is not the expected update"
cmp "$work/parts.d" "$work/parts.orig" || fail "the library was changed"
xdotool windowfocus --sync "$done_box"
keys Return
gone Done

echo "2. a run whose library is missing ends with File read error"
xdotool windowfocus --sync "$main"
sleep 0.3
# Focus is back on Run: six tabs to the Old file box, whose text is replaced.
keys Tab Tab Tab Tab Tab Tab End shift+Home
type_text "$(winpath "$work/missing.d")"
keys Tab Tab Tab Tab space
error_box=$(window "File read error")
cmp "$work/parts_new.d" "$work/expected.d" || fail "the earlier output was touched"
[ ! -e "$work/missing.d" ] || fail "the missing library was created"
xdotool windowfocus --sync "$error_box"
keys Return
gone "File read error"

echo "3. Close ends the program"
xdotool windowfocus --sync "$main"
sleep 0.3
keys Tab space
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then fail "trelvo.exe is still running after Close"; fi
wait "$app" || fail "trelvo.exe ended with status $?"
app=
echo "PASS"
