#!/usr/bin/env bash
# The About window's "System Info..." button on Wine's own registry: the tool is found through
# the PATH value of the MSINFO key, else through the MSINFO folder of the Shared Tools Location
# key, and started; with neither, the user gets the unavailable box. The tool is a small program
# of ours that leaves a mark beside itself.
# Usage: sysinfo_win32_test.sh WINE_RUN PROBE.exe MARK.exe WORK_DIR
set -euo pipefail
wine_run=$1 probe=$2 mark=$3 work=$4

rm -rf "$work"
mkdir -p "$work/tools" "$work/empty"
prefix=$work/prefix
w() { "$wine_run" --prefix "$prefix" "$@"; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$mark" "$work/tools/sysinfo-mark.exe"
cp "$mark" "$work/tools/MSINFO32.EXE"
key='HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO'
location='HKLM\SOFTWARE\Microsoft\Shared Tools Location'
unavailable='box|System Information Is Unavailable At This Time|'

# Prints the boxes the button showed, one per line, without Wine's carriage returns.
click() { w "$probe" | tr -d '\r' || true; }

# Waits up to 20 s for the started tool's mark.
expect_mark() {
  for _ in $(seq 200); do
    [ -e "$1.mark" ] && return 0
    sleep 0.1
  done
  fail "the tool $(basename "$1") was not started"
}

set_value() { w reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1 || fail "reg add $1 $2"; }
remove_value() { w reg delete "$1" /v "$2" /f >/dev/null 2>&1 || true; }

echo "1. PATH names the tool"
remove_value "$location" MSINFO
set_value "$key" PATH "$(winpath "$work/tools/sysinfo-mark.exe")"
out=$(click)
[ -z "$out" ] || fail "a box was shown: $out"
expect_mark "$work/tools/sysinfo-mark.exe"

echo "2. neither key: the unavailable box, nothing started"
remove_value "$key" PATH
out=$(click)
[ "$out" = "$unavailable" ] || fail "expected one unavailable box, got: '$out'"

echo "3. the Shared Tools Location folder holds MSINFO32.EXE"
set_value "$location" MSINFO "$(winpath "$work/tools")"
out=$(click)
[ -z "$out" ] || fail "a box was shown: $out"
expect_mark "$work/tools/MSINFO32.EXE"

echo "4. the folder has no MSINFO32.EXE: the unavailable box"
set_value "$location" MSINFO "$(winpath "$work/empty")"
out=$(click)
[ "$out" = "$unavailable" ] || fail "expected one unavailable box, got: '$out'"
[ -z "$(ls "$work/empty")" ] || fail "something was written into the empty folder"

echo "5. PATH names a program that is not there: the unavailable box (the start fails)"
set_value "$key" PATH "$(winpath "$work/tools/missing.exe")"
out=$(click)
[ "$out" = "$unavailable" ] || fail "expected one unavailable box, got: '$out'"

w wineserver -k >/dev/null 2>&1 || true
echo "PASS"
