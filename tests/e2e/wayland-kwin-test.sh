#!/usr/bin/env bash
# A look-up in a Wayland session under headless KWin, as a user makes it:
# text selected in FeatherPad (a Wayland client), the portal's shortcut
# pressed; the reading shown and recorded, the user's clipboard untouched,
# no X call made although an X server is there.
#   wayland-kwin-test.sh KOTOBANE FAKE_INPUT
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wayland.sh"
kotobane=$1
fake_input=$2
for tool in kwin_wayland featherpad wl-copy dbus-daemon; do
  command -v "$tool" >/dev/null || { echo "wayland-kwin: skipped ($tool is not installed)"; exit 77; }
done
wl_start_kwin || exit 1

# An X server that logs every client: the program, a Wayland client by
# default here, must not connect to it.
fifo=$e2e_tmp/displayfd
mkfifo "$fifo"
Xvfb -displayfd 3 -audit 4 -screen 0 640x480x24 -nolisten tcp 3>"$fifo" 2>"$e2e_tmp/xvfb.log" &
e2e_pids+=($!)
read -r -t 10 number <"$fifo" || { echo "Xvfb did not start"; exit 1; }

# What the user last copied, served by wl-copy for the whole test.
wl-copy --foreground 'copied before' &
e2e_pids+=($!)

profile=$e2e_tmp/profile
e2e_quiet_profile "$profile"
QT_LOGGING_RULES='kotobane.*=true' DISPLAY=:$number "$kotobane" --profile-dir "$profile" \
  >"$e2e_tmp/kotobane.log" 2>&1 &
program=$!
e2e_pids+=("$program")
trigger=$(e2e_wait_line "$e2e_tmp/kotobane.log" "the desktop's trigger" 150)
e2e_check "the portal's trigger" 'kotobane.portal: the desktop'\''s trigger: "Ctrl+F12"' "$trigger"

printf '%s' '東京特許許可局' >"$e2e_tmp/note.txt"
QT_QPA_PLATFORM=wayland featherpad --standalone "$e2e_tmp/note.txt" >"$e2e_tmp/featherpad.log" 2>&1 &
e2e_pids+=($!)
for i in $(seq 100); do
  wl_windows | grep -q '^\*.*note\.txt' && break
  sleep 0.1
done
e2e_check "the editor has the focus" 1 "$(wl_windows | grep -c '^\*.*note\.txt')"

# Ctrl+Home, Shift+End selects the line (Qt 5 editors take PRIMARY for a
# selection made by moving, not for Ctrl+A); Ctrl+F12 is the shortcut.
"$fake_input" tap:29+102 sleep:100 tap:42+107 sleep:300 tap:29+88 >/dev/null
e2e_check "keys pressed" 0 $?
history_text() { iconv -f UTF-16LE -t UTF-8 "$profile/Kotobane.txt" 2>/dev/null; }
for i in $(seq 50); do [ -s "$profile/Kotobane.txt" ] && break; sleep 0.1; done
e2e_check "history line" "東京特許許可局	とうきょうとっきょきょかきょく" "$(history_text | cut -f1,2)"
e2e_check "the popup in front" 1 "$(wl_windows | grep -c '^\*IME reading')"
e2e_check "the clipboard as it was" 'copied before' "$(timeout 5 wl-paste -n)"
e2e_check "timed" 1 "$(grep -c 'kotobane.timing: hot key to popup painted' "$e2e_tmp/kotobane.log")"

timeout 20 "$kotobane" --exit
e2e_check "--exit" 0 $?
e2e_wait_exit "$program"
e2e_check "exit status" 0 $?
e2e_check "no X connection from the program" 0 "$(grep -c "pid=$program )" "$e2e_tmp/xvfb.log")"
[ "$checks_failed" -eq 0 ] || { cat "$e2e_tmp/kotobane.log"; tail -n 30 "$e2e_tmp/kwin.log"; }
e2e_finish "wayland-kwin"
