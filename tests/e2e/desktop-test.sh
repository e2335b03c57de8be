#!/usr/bin/env bash
# The window services on a real desktop: which window a look-up copies from
# and activating it, with FeatherPad as the other application.
#   desktop-test.sh PROBE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export E2E_TRAY=0
. "$here/desktop.sh"
probe=$1

e2e_start_desktop || exit 1
export XDG_RUNTIME_DIR=$e2e_tmp/run XDG_CONFIG_HOME=$e2e_tmp/config
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
e2e_open_editor $'漢字の読み方\n'

mkfifo "$e2e_tmp/in"
"$probe" <"$e2e_tmp/in" >"$e2e_tmp/out" 2>"$e2e_tmp/probe.log" &
e2e_pids+=($!)
exec 7>"$e2e_tmp/in"
e2e_wait_window '^desktop probe$' >/dev/null
sleep 0.5

ask() {  # command, lines of answer
  local before
  before=$(wc -l <"$e2e_tmp/out")
  echo "$1" >&7
  for i in $(seq 50); do
    [ "$(wc -l <"$e2e_tmp/out")" -ge $((before + $2)) ] && break
    sleep 0.1
  done
  tail -n "$2" "$e2e_tmp/out"
}

answer=$(ask target 3)
e2e_check "our window is in front" "foreground-own 1" "$(sed -n 1p <<<"$answer")"
e2e_check "the editor below is the target" 1 "$(sed -n 2p <<<"$answer" | grep -c 'note.txt')"
e2e_check "its id" "id $((editor))" "$(sed -n 3p <<<"$answer")"

ask activate 1 >/dev/null
sleep 0.5
e2e_check "activation reaches the editor" "$((editor))" "$(xdotool getactivewindow)"

# A minimised editor is not copied from.
ask raise 1 >/dev/null
xdotool windowminimize --sync "$editor"
sleep 0.3
e2e_check "a minimised window is skipped" "target (none)" "$(ask target 3 | sed -n 2p)"

exec 7>&-
e2e_finish "desktop"
