#!/usr/bin/env bash
# scripts/wine-run against a stand-in for wine: a run that Wine could not start, or whose server
# connection it lost, is started again, at most three runs in all; a program's own failure and
# its status are passed on after one run; output and errors reach the caller; Wine runs without
# address-space randomisation where the system allows it.
# Usage: wine_run_test.sh WINE_RUN
set -uo pipefail
wine_run=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work/bin" "$work/prefix"
touch "$work/prefix/.trelvo-ready"
# The stand-in counts its runs and notes the process's personality; the first LOST runs end
# with LOST_LINE, the next with STATUS.
cat >"$work/bin/wine" <<'WINE'
#!/usr/bin/env bash
n=$(($(cat "$RUNS" 2>/dev/null || echo 0) + 1))
echo "$n" >"$RUNS"
cat /proc/self/personality >"$RUNS.personality"
echo "output of run $n: $*"
if [ "$n" -le "$LOST" ]; then
  echo "$LOST_LINE" >&2
  exit 1
fi
echo "errors of run $n" >&2
exit "$STATUS"
WINE
chmod +x "$work/bin/wine"

lost_line='wine client error:0: recvmsg: Connection reset by peer'
again_line='wine-run: Wine could not start prog.exe or lost it; starting it again'

# LOST STATUS EXPECTED_STATUS EXPECTED_RUNS EXPECTED_ERRORS...
check() {
  local lost=$1 status=$2 want_status=$3 want_runs=$4
  shift 4
  local want_errors
  want_errors=$(printf '%s\n' "$@")
  rm -f "$work/runs"
  local got_status=0
  PATH=$work/bin:$PATH RUNS=$work/runs LOST=$lost LOST_LINE=$lost_line STATUS=$status \
    "$wine_run" --prefix "$work/prefix" prog.exe 'a b' c >"$work/out" 2>"$work/err" ||
    got_status=$?
  local case="lost $lost, status $status"
  [ "$got_status" = "$want_status" ] || fail "$case: status $got_status, expected $want_status"
  [ "$(cat "$work/runs")" = "$want_runs" ] || fail "$case: $(cat "$work/runs") runs, expected $want_runs"
  local want_out
  want_out=$(for n in $(seq "$want_runs"); do echo "output of run $n: prog.exe a b c"; done)
  [ "$(cat "$work/out")" = "$want_out" ] || fail "$case: output was '$(cat "$work/out")'"
  [ "$(cat "$work/err")" = "$want_errors" ] || fail "$case: errors were '$(cat "$work/err")'"
}

check 0 0 0 1 "errors of run 1"
check 0 5 5 1 "errors of run 1"
check 1 0 0 2 "$lost_line" "$again_line" "errors of run 2"
check 2 3 3 3 "$lost_line" "$again_line" "$lost_line" "$again_line" "errors of run 3"
check 3 0 1 3 "$lost_line" "$again_line" "$lost_line" "$again_line" "$lost_line"
lost_line='err:virtual:virtual_alloc_first_teb wine: failed to map the shared user data: c0000018'
check 1 4 4 2 "$lost_line" "$again_line" "errors of run 2"
lost_line='err:module:import_dll Library X.dll not found'
check 1 0 1 1 "$lost_line"

if setarch "$(uname -m)" -R true 2>/dev/null; then
  personality=$(cat "$work/runs.personality")
  (( 0x$personality & 0x0040000 )) || fail "Wine ran with address-space randomisation"
fi

# The errors file of each run is the script's own and is gone afterwards.
left=$(find "${TMPDIR:-/tmp}" -maxdepth 1 -newer "$work/bin/wine" -name 'tmp.*' -type f \
  -exec grep -l 'errors of run\|wine client error' {} + 2>/dev/null)
[ -z "$left" ] || fail "left behind: $left"

[ "$failures" -eq 0 ] || exit 1
echo PASS
