#!/usr/bin/env bash
# The options sheet from the keyboard: opened by `kotobane --options`, the
# hot key typed into its field instead of starting a look-up, a new hot key
# taken with Enter, the new combination looking up and the old one not, and
# the new one in the settings file after the exit.
#   options-test.sh KOTOBANE [SCREENSHOT-DIR]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1
shots=${2:-}

e2e_setup || exit 1
lines() { iconv -f UTF-16LE -t UTF-8 "$profile/Kotobane.txt" 2>/dev/null | wc -l; }

e2e_open_editor '漢字'
"$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
program=$!
e2e_pids+=("$program")
e2e_wait_tray "$program"

xdotool windowactivate --sync "$editor" key ctrl+a
"$kotobane" --options
sheet=$(e2e_wait_window '^Option$')
e2e_check "kotobane --options opens the sheet" 1 "$([ -n "$sheet" ] && echo 1)"
[ -n "$sheet" ] || { cat "$e2e_tmp/kotobane.log"; e2e_finish options; exit; }
sleep 0.5
e2e_shot options-general
# A second request raises the open sheet instead of nesting another.
"$kotobane" --options
sleep 0.5
e2e_check "one sheet" 1 "$(xdotool search --onlyvisible --name '^Option$' | wc -l)"

# Background, Text, Border, then the hot-key field.
xdotool windowactivate --sync "$sheet" key Tab Tab Tab
sleep 0.2
xdotool key ctrl+F12
sleep 1
e2e_check "Control+F12 in the sheet looks nothing up" 0 "$(lines)"
e2e_check "nor shows the popup" "" "$(xdotool search --onlyvisible --name '^IME reading$')"
xdotool key ctrl+F11
sleep 0.2
e2e_shot options-hotkey
# Enter is a key like any other in the field; after Tab it is OK.
xdotool key Tab Return
for i in $(seq 30); do xdotool search --onlyvisible --name '^Option$' >/dev/null || break; sleep 0.1; done
e2e_check "Enter closes the sheet" "" "$(xdotool search --onlyvisible --name '^Option$')"

xdotool windowactivate --sync "$editor" key ctrl+a
sleep 0.3
xdotool key ctrl+F12
sleep 1.5
e2e_check "the old hot key looks nothing up" 0 "$(lines)"
xdotool windowactivate --sync "$editor"
xdotool key ctrl+F11
popup=$(e2e_wait_window '^IME reading$')
e2e_check "the new hot key shows the popup" 1 "$([ -n "$popup" ] && echo 1)"
for i in $(seq 30); do [ "$(lines)" -gt 0 ] && break; sleep 0.1; done
e2e_check "and looks the selection up" 1 "$(lines)"

# Escape cancels: a hot key typed and dropped changes nothing.
"$kotobane" --options
sheet=$(e2e_wait_window '^Option$')
xdotool windowactivate --sync "$sheet" key Tab Tab Tab key ctrl+F10 key Escape
sleep 0.5

"$kotobane" --exit
e2e_wait_exit "$program"
e2e_check "exit status" 0 $?
section=$(sed -n '/^\[Settings\\HotKeys\\Get Text\]/,/^\[/p' "$profile/Kotobane.ini" | tr -d '\r')
e2e_check "the new hot key is stored at the exit" "Modifier_Key=2 Virtual_Key=122" \
  "$(grep -E '^(Modifier_Key|Virtual_Key)=' <<<"$section" | sort | tr '\n' ' ' | sed 's/ $//')"
e2e_finish options
