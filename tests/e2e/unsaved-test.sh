#!/usr/bin/env bash
# Settings that cannot be saved: the copy on the desktop says so once, in a
# box, when it ends; a second copy says so on standard error only.
#   unsaved-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1

e2e_start_desktop || exit 1
e2e_private_dirs
profile=$e2e_tmp/profile
# A directory where the settings file belongs: no save can replace it, even as root.
mkdir -p "$profile/Kotobane.ini"
ini=$profile/Kotobane.ini

"$kotobane" --profile-dir "$profile" >"$e2e_tmp/first.log" 2>&1 &
first=$!
e2e_pids+=("$first")
e2e_wait_tray "$first"
e2e_check "tray icon shown" 1 "$([ -n "$tray" ] && echo 1)"

# Boxes of the first copy titled after the program, the tray icon aside.
boxes() { xdotool search --onlyvisible --name '^kotobane$' 2>/dev/null | grep -vx "$tray"; }
wait_box() {
  local i
  for i in $(seq 100); do
    boxes | head -n 1 | grep . && return 0
    sleep 0.1
  done
  return 1
}

timeout 20 "$kotobane" --profile-dir "$profile" >/dev/null 2>"$e2e_tmp/second.err" &
second=$!
second_windows=$(e2e_windows_until_exit "$second")
wait "$second"
e2e_check "second copy exit status" 1 $?
e2e_check "second copy shows no window" "" "$second_windows"
e2e_check "second copy says it in one line" 1 "$(wc -l <"$e2e_tmp/second.err")"
e2e_check "naming the file and the reason" \
  "kotobane: error on write $ini: it is a directory, not a settings file" "$(cat "$e2e_tmp/second.err")"

# The running copy's "It's running!", closed before the exit.
box=$(wait_box)
[ -n "$box" ] && xdotool windowactivate --sync "$box" key Return 2>/dev/null
for i in $(seq 50); do
  [ -z "$(boxes)" ] && break
  sleep 0.1
done

"$kotobane" --exit
e2e_check "--exit reaches the running copy" 0 $?
box=$(wait_box)
e2e_check "the box at the exit" 1 "$([ -n "$box" ] && echo 1)"
e2e_check "the program waits for it" 0 "$(kill -0 "$first" 2>/dev/null; echo $?)"
[ -n "$box" ] && xdotool windowactivate --sync "$box" key Return 2>/dev/null
e2e_wait_exit "$first"
e2e_check "exit status after a failed save" 1 $?
e2e_check "said in the box, not on standard error" 0 "$(grep -c 'error on write' "$e2e_tmp/first.log")"
e2e_check "the directory is left alone" "" "$(ls -A "$ini")"

e2e_finish "unsaved"
