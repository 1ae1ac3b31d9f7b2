#!/usr/bin/env bash
# Runs the window tests that follow the monitor's DPI in a Wine prefix set to 144 dpi (150 %).
# Usage: dpi_win32_test.sh WINE_RUN TESTS.exe WORK_DIR
set -euo pipefail
wine_run=$1 tests=$2 work=$3
prefix=$work/prefix-144dpi
if [ ! -e "$prefix/.dpi-144" ]; then
  rm -rf "$prefix"
  "$wine_run" --prefix "$prefix" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
    /t REG_DWORD /d 144 /f >/dev/null
  WINEPREFIX=$prefix wineserver -w
  touch "$prefix/.dpi-144"
fi
TRELVO_EXPECT_DPI=144 "$wine_run" --prefix "$prefix" "$tests" \
  --gtest_filter='*FollowTheMonitorDpi*'
