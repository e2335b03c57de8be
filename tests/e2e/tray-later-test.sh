#!/usr/bin/env bash
# Started before any notification area exists, the program keeps running and
# its icon appears once a tray host comes up.
#   tray-later-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1

E2E_TRAY=0 e2e_start_desktop || exit 1
e2e_private_dirs

"$kotobane" --profile-dir "$e2e_tmp/profile" >"$e2e_tmp/kotobane.log" 2>&1 &
first=$!
e2e_pids+=("$first")
for i in $(seq 100); do
  ls "$XDG_RUNTIME_DIR"/*.lock >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
e2e_check "no icon without a tray host" "" "$(xdotool search --onlyvisible --pid "$first" 2>/dev/null)"
kill -0 "$first" 2>/dev/null
e2e_check "running without a tray host" 0 $?

trayer --edge bottom --align right --SetDockType true >"$e2e_tmp/trayer.log" 2>&1 &
trayer=$!
e2e_pids+=("$trayer")
icon=""
for i in $(seq 100); do
  icon=$(xdotool search --onlyvisible --pid "$first" 2>/dev/null | head -n 1)
  [ -n "$icon" ] && break
  sleep 0.1
done
e2e_check "the icon appears with the tray host" 1 "$([ -n "$icon" ] && echo 1)"
if [ -n "$icon" ]; then
  # Embedded: its parent is no longer the root window.
  root=$(xwininfo -root | awk '/Window id:/ {print $4}')
  parent=$(xwininfo -children -id "$icon" | awk '/Parent window id:/ {print $4}')
  e2e_check "embedded in the tray" 1 "$([ "$parent" != "$root" ] && echo 1)"
fi

timeout 20 "$kotobane" --exit
e2e_check "--exit" 0 $?
e2e_wait_exit "$first"
e2e_check "exit status" 0 $?
e2e_finish "tray-later"
