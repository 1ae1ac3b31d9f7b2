#!/usr/bin/env bash
# trelvo-cli --survey on every real library, against counts made by survey_count.awk over the
# same file, and against what a run actually rewrites and counts.
#   survey_real_libraries.sh TRELVO_CLI REAL_LIBRARIES_DIR
set -euo pipefail
cli=$1
libs=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# 77 tells CTest the test was skipped.
[ -d "$libs" ] || { echo "SKIP: no real libraries at $libs"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
n=0
for lib in "$libs"/*.d; do
  n=$((n + 1))
  name=$(basename "$lib")
  # Survey, from inside the folder so that the input column is the bare name.
  (cd "$libs" && "$cli" --survey --format csv "$name") >"$work/survey.csv" 2>"$work/survey.err"
  tail -n +2 "$work/survey.csv" | tr -d '\r' | sort >"$work/survey.rows"
  LC_ALL=C gawk -v input="$name" -f "$here/survey_count.awk" "$lib" >"$work/awk.out"
  grep -v '^decals ' "$work/awk.out" | sort >"$work/awk.rows"
  if ! diff "$work/awk.rows" "$work/survey.rows" >"$work/diff"; then
    echo "FAIL $name: piece rows differ (< awk, > survey)"; cat "$work/diff"; fail=1
  fi
  decals=$(sed -n 's/^decals //p' "$work/awk.out")
  if ! grep -q "^trelvo-cli: $name: $decals decal(s) recognised" "$work/survey.err"; then
    echo "FAIL $name: expected $decals decals"; cat "$work/survey.err"; fail=1
  fi
  # A run that rewrites every eligible piece: one report row per eligible piece, and the decals
  # it counts are those the survey says hold eligible pieces.
  eligible=$(awk -F, '$9 ~ /^eligible/ { s += $7 } END { print s + 0 }' "$work/survey.rows")
  (cd "$libs" && "$cli" --layer '*:99' --dry-run --report - "$name") >"$work/run.csv" 2>"$work/run.err"
  rewritten=$(($(wc -l <"$work/run.csv") - 1))
  if [ "$rewritten" != "$eligible" ]; then
    echo "FAIL $name: the run rewrote $rewritten pieces, the survey says $eligible are eligible"; fail=1
  fi
  counted=$(sed -n 's/^\([0-9]*\) Decal(s) updated\.$/\1/p' "$work/run.err")
  with=$(sed -n 's/.*, \([0-9]*\) with eligible pieces;.*/\1/p' "$work/survey.err")
  if [ "$counted" != "$with" ]; then
    echo "FAIL $name: the run counted $counted decals, the survey says $with hold eligible pieces"; fail=1
  fi
done
[ "$n" -ge 13 ] || { echo "FAIL: only $n libraries found in $libs"; fail=1; }
# Figures from the libraries' own description: the dashed pieces, and the family without empty
# lines, whose decals are found by their TIMESTAMP lines.
grep -qx 'zpqqq10__surviveCS__GPS_V2_PCB.d,M,CLOSED,26,0.1,-2,1,1,not eligible: line style -2' \
  <(cd "$libs" && "$cli" --survey --format csv zpqqq10__surviveCS__GPS_V2_PCB.d 2>/dev/null | tr -d '\r') ||
  { echo "FAIL: the dashed piece of GPS_V2_PCB.d"; fail=1; }
(cd "$libs" && "$cli" --survey --format csv Jiangshan00001__easyeda_to_pads__USB_Connectors.d) \
  2>"$work/usb.err" | awk -F, 'NR > 1 { s += $7 } END { exit !(s == 13997) }' ||
  { echo "FAIL: USB_Connectors.d should hold 13997 outline pieces"; fail=1; }
grep -q '^trelvo-cli: Jiangshan00001__easyeda_to_pads__USB_Connectors.d: 1182 decal(s) recognised' "$work/usb.err" ||
  { echo "FAIL: USB_Connectors.d holds 1182 decals"; cat "$work/usb.err"; fail=1; }
exit $fail
