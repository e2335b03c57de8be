#!/usr/bin/env bash
# A session without X11 for our process (as under Wayland): the program makes
# no X call, says once why the hot key cannot work, and the rest still works.
#   nox11-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1

# An X server that logs every client, so that a stray connection shows.
fifo=$e2e_tmp/displayfd
mkfifo "$fifo"
Xvfb -displayfd 3 -audit 4 -screen 0 640x480x24 -nolisten tcp 3>"$fifo" 2>"$e2e_tmp/xvfb.log" &
e2e_pids+=($!)
read -r -t 10 number <"$fifo" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$number QT_QPA_PLATFORM=offscreen
unset WAYLAND_DISPLAY
profile=$e2e_tmp/profile
e2e_private_dirs

"$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
first=$!
e2e_pids+=("$first")
for i in $(seq 100); do
  grep -q 'need an X11 session' "$e2e_tmp/kotobane.log" && break
  sleep 0.1
done
e2e_check "the notice" 1 "$(grep -c 'need an X11 session' "$e2e_tmp/kotobane.log")"
e2e_check "names the command to bind" 1 "$(grep -c 'kotobane --get-text' "$e2e_tmp/kotobane.log")"

# The channel, the popup and the look-up command keep working, and none of
# them says it again.
timeout 20 "$kotobane" --show '漢字 (かんじ)'
e2e_check "--show" 0 $?
timeout 20 "$kotobane" --get-text
e2e_check "--get-text" 0 $?
sleep 1
kill -0 "$first" 2>/dev/null
e2e_check "still running" 0 $?
timeout 20 "$kotobane" --exit
e2e_check "--exit" 0 $?
e2e_wait_exit "$first"
e2e_check "exit status" 0 $?
e2e_check "told once" 1 "$(grep -c 'need an X11 session' "$e2e_tmp/kotobane.log")"
e2e_check "settings written" 1 "$(grep -c '^keylayout=' "$profile/Kotobane.ini" 2>/dev/null)"
e2e_check "no X connection from the program" 0 "$(grep -c "pid=$first )" "$e2e_tmp/xvfb.log")"
[ "$checks_failed" -eq 0 ] || cat "$e2e_tmp/kotobane.log"
e2e_finish "nox11"
