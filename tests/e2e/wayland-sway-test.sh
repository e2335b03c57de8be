#!/usr/bin/env bash
# A look-up under headless sway, a desktop without the shortcut portal: the
# user is told once how to bind "kotobane --get-text", the command reads the
# text selected in FeatherPad through the popup's focus, and the clipboard
# stays as it was.
#   wayland-sway-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wayland.sh"
kotobane=$1
for tool in sway wtype featherpad wl-copy setpriv; do
  command -v "$tool" >/dev/null || { echo "wayland-sway: skipped ($tool is not installed)"; exit 77; }
done
wl_start_sway || exit 1

wl-copy --foreground 'copied before' &
e2e_pids+=($!)
profile=$e2e_tmp/profile
e2e_quiet_profile "$profile"
QT_LOGGING_RULES='kotobane.*=true' "$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
program=$!
e2e_pids+=("$program")
notice=$(e2e_wait_line "$e2e_tmp/kotobane.log" "^kotobane: This desktop does not let programs set a global shortcut" 150)
e2e_check "told there is no shortcut portal" 1 "$([ -n "$notice" ] && echo 1)"
e2e_check "names the command to bind" 1 "$(grep -c 'that runs:  kotobane --get-text$' "$e2e_tmp/kotobane.log")"

printf '%s' '東京特許許可局' >"$e2e_tmp/note.txt"
QT_QPA_PLATFORM=wayland featherpad --standalone "$e2e_tmp/note.txt" >"$e2e_tmp/featherpad.log" 2>&1 &
e2e_pids+=($!)
for i in $(seq 100); do
  wl_sway_focused | grep -q 'note\.txt' && break
  sleep 0.1
done
e2e_check "the editor has the focus" 1 "$(wl_sway_focused | grep -c 'note\.txt')"
# sway takes virtual-keyboard input only after a moment (-s 300).
wtype -s 300 -M ctrl -k Home -m ctrl -M shift -k End -m shift
timeout 20 "$kotobane" --get-text
e2e_check "--get-text" 0 $?
history_text() { iconv -f UTF-16LE -t UTF-8 "$profile/Kotobane.txt" 2>/dev/null; }
for i in $(seq 50); do [ -s "$profile/Kotobane.txt" ] && break; sleep 0.1; done
e2e_check "history line" "東京特許許可局	とうきょうとっきょきょかきょく" "$(history_text | cut -f1,2)"
e2e_check "the popup in front" 'IME reading' "$(wl_sway_focused)"
e2e_check "the clipboard as it was" 'copied before' "$(timeout 5 wl-paste -n)"

timeout 20 "$kotobane" --exit
e2e_check "--exit" 0 $?
e2e_wait_exit "$program"
e2e_check "exit status" 0 $?
[ "$checks_failed" -eq 0 ] || { cat "$e2e_tmp/kotobane.log"; tail -n 20 "$e2e_tmp/sway.log"; }
e2e_finish "wayland-sway"
