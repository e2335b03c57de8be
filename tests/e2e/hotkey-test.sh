#!/usr/bin/env bash
# The hot key on a real X server: a press arrives, with NumLock on too, and
# a combination held by another program is refused.
#   hotkey-test.sh HOTKEY_PROBE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_TRAY=0
. "$here/desktop.sh"
probe=$1

e2e_start_desktop || exit 1

first_log=$e2e_tmp/first.log
"$probe" --presses 2 --timeout 20 >"$first_log" 2>"$e2e_tmp/first.err" &
first=$!
e2e_pids+=("$first")
e2e_wait_line "$first_log" '^registered$'
e2e_check "first probe registers Control+F12" registered "$(head -n 1 "$first_log")"

xdotool key ctrl+F12
e2e_wait_line "$first_log" '^pressed'
e2e_check "the press arrives" "pressed 1" "$(grep '^pressed' "$first_log" | head -n 1)"

# F12 alone is not the combination.
xdotool key F12
sleep 0.3
e2e_check "F12 without Control is ignored" 1 "$(grep -c '^pressed' "$first_log")"

# The first probe still holds the combination: X answers BadAccess, which
# the program reports as its own "already registered" code (1409).
timeout 10 "$probe" --timeout 1 >"$e2e_tmp/second.log" 2>"$e2e_tmp/second.err"
e2e_check "second probe exit status" 2 $?
e2e_check "second probe is refused" "failed 1409" "$(cat "$e2e_tmp/second.log")"

# With NumLock on the key state carries Mod2; the press must still count.
numlock() { xset q | grep -o 'Num Lock: *[a-z]*' | awk '{print $NF}'; }
before=$(numlock)
xdotool key Num_Lock
e2e_check "NumLock off, then on, at the presses" "off on" "$before $(numlock)"
xdotool key ctrl+F12
wait "$first"
e2e_check "first probe exit status" 0 $?
e2e_check "the press with NumLock arrives" 2 "$(grep -c '^pressed 1$' "$first_log")"

# Once the holder has gone the combination is free again.
timeout 10 "$probe" --timeout 1 >"$e2e_tmp/third.log" 2>"$e2e_tmp/third.err"
e2e_check "a later probe registers" registered "$(head -n 1 "$e2e_tmp/third.log")"

# A Control+C synthesized while the hot key is still held reaches the
# focused window of another program, not our own grab.
target_log=$e2e_tmp/target.log
"$probe" --keylog --timeout 10 >"$target_log" 2>"$e2e_tmp/target.err" &
target=$!
e2e_pids+=("$target")
window=$(e2e_wait_window '^hotkey probe$')
e2e_check "the target window appears" 1 "$([ -n "$window" ] && echo 1)"
[ -n "$window" ] && xdotool windowactivate --sync "$window" 2>/dev/null
copy_log=$e2e_tmp/copy.log
"$probe" --copy --timeout 10 >"$copy_log" 2>"$e2e_tmp/copy.err" &
copier=$!
e2e_pids+=("$copier")
e2e_wait_line "$copy_log" '^registered$'
xdotool keydown ctrl+F12
e2e_wait_line "$target_log" '^key ctrl+c$'
xdotool keyup F12 keyup ctrl
wait "$copier"
e2e_check "copy probe exit status" 0 $?
wait "$target"
e2e_check "target exit status" 0 $?
e2e_check "the synthesized Control+C reaches the target" 1 "$(grep -c '^key ctrl+c$' "$target_log")"

e2e_finish hotkey-test
