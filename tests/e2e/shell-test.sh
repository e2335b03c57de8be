#!/usr/bin/env bash
# The program on a real X desktop: one copy per desktop, the popup shown on
# request, and the settings written when the program is told to end.
#   shell-test.sh KOTOBANE [SCREENSHOT.png]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1
shot=${2:-}

e2e_start_desktop || exit 1
profile=$e2e_tmp/profile
mkdir -p "$profile"
e2e_private_dirs

"$kotobane" --profile-dir "$profile" >"$e2e_tmp/first.log" 2>&1 &
first=$!
e2e_pids+=("$first")

# The first copy holds the instance lock once it is up.
for i in $(seq 100); do
  ls "$XDG_RUNTIME_DIR"/*.lock >/dev/null 2>&1 && break
  sleep 0.1
done
e2e_check "first copy holds the lock" 1 "$(ls "$XDG_RUNTIME_DIR"/*.lock 2>/dev/null | wc -l)"
# The only window at first is the tray icon, embedded in the tray host.
e2e_wait_tray "$first"
e2e_check "tray icon shown" 1 "$([ -n "$tray" ] && echo 1)"

# A second copy tells the first and ends without a window of its own.
timeout 20 "$kotobane" --profile-dir "$profile" >"$e2e_tmp/second.log" 2>&1 &
second=$!
second_windows=$(e2e_windows_until_exit "$second")
wait "$second"
e2e_check "second copy exit status" 0 $?
e2e_check "second copy shows no window" "" "$second_windows"

box=""
for i in $(seq 100); do
  box=$(xdotool search --onlyvisible --name '^kotobane$' 2>/dev/null | grep -vx "$tray" | head -n 1)
  [ -n "$box" ] && break
  sleep 0.1
done
e2e_check "the running copy shows its message box" 1 "$([ -n "$box" ] && echo 1)"
if [ -n "$box" ]; then
  e2e_check "the box belongs to the first copy" "$first" "$(xdotool getwindowpid "$box")"
  # The same box, closed with Enter.
  xdotool windowactivate --sync "$box" key Return 2>/dev/null
  for i in $(seq 50); do
    xdotool search --onlyvisible --name '^kotobane$' 2>/dev/null | grep -qvx "$tray" || break
    sleep 0.1
  done
  e2e_check "Enter closes the box" "" "$(xdotool search --onlyvisible --name '^kotobane$' 2>/dev/null | grep -vx "$tray")"
fi
e2e_check "the second copy saved its settings" 1 "$(grep -c '^keylayout=' "$profile/Kotobane.ini" 2>/dev/null)"
# The second copy must not take over the first one's placement.
e2e_check "no placement from the second copy" 0 "$(grep -c '^DlgReading=' "$profile/Kotobane.ini")"

# The popup on request: frameless, on top, no taskbar entry.
"$kotobane" --profile-dir "$profile" --show '漢字の読み方 (かんじのよみかた)'
e2e_check "--show reaches the running copy" 0 $?
popup=$(e2e_wait_window '^IME reading$')
e2e_check "the popup appears" 1 "$([ -n "$popup" ] && echo 1)"
if [ -n "$popup" ]; then
  state=$(xprop -id "$popup" _NET_WM_STATE)
  e2e_check "skips the taskbar" 1 "$(grep -c _NET_WM_STATE_SKIP_TASKBAR <<<"$state")"
  e2e_check "stays on top" 1 "$(grep -c _NET_WM_STATE_ABOVE <<<"$state")"
  e2e_check "no frame" 0 "$(xprop -id "$popup" _NET_FRAME_EXTENTS | grep -c '[1-9]')"
  sleep 0.5
  [ -n "$shot" ] && import -window root "$shot"
  # Hidden again by its hide command (Escape).
  xdotool windowactivate --sync "$popup" key Escape 2>/dev/null
  sleep 0.3
  e2e_check "Escape hides the popup" "" "$(xdotool search --onlyvisible --name '^IME reading$' 2>/dev/null)"
fi

# Exit from the tray icon's menu ends the program through its exit sequence.
xdotool mousemove --window "$tray" 10 10 click 3
sleep 0.5
menu=$(xdotool search --onlyvisible --pid "$first" 2>/dev/null | grep -vx "$tray" | head -n 1)
e2e_check "right click opens the menu" 1 "$([ -n "$menu" ] && echo 1)"
[ -n "$shot" ] && import -window root "${shot%.png}-menu.png"
# Exit is the last item: Up from the top wraps round to it.
xdotool key Up Return
e2e_wait_exit "$first"
status=$?
e2e_check "exit status after Exit" 0 $status
[ $status -eq 0 ] || head -c 6000 "$e2e_tmp/first.log"
ini=$profile/Kotobane.ini
keys=$(grep -o '^[A-Za-z]*=' "$ini" | tr -d = | sort | tr '\n' ' ')
e2e_check "every settings key written" \
  "AudioFormat AudioOutput AutoDispHis Background BorderColor Clock Days DispHis DispOnStart DlgReading EnableSpeech HistoryFont Rate RoundDialog RoundEdit TextColor TextFont Voice Volume keylayout " \
  "$keys"

# SIGTERM ends a run the same way.
rm -f "$ini"
"$kotobane" --profile-dir "$profile" >"$e2e_tmp/third.log" 2>&1 &
third=$!
e2e_pids+=("$third")
for i in $(seq 100); do
  [ -n "$(xdotool search --onlyvisible --pid "$third" 2>/dev/null)" ] && break
  sleep 0.1
done
kill -TERM "$third"
e2e_wait_exit "$third"
e2e_check "exit status after SIGTERM" 0 $?
e2e_check "settings written after SIGTERM" 1 "$(grep -c '^DlgReading=' "$ini" 2>/dev/null)"

# Without XDG_RUNTIME_DIR the program uses its own private folder and Qt's
# notice about the variable does not reach the user.
e2e_quiet_profile "$e2e_tmp/bare"
env -u XDG_RUNTIME_DIR "$kotobane" --profile-dir "$e2e_tmp/bare" >"$e2e_tmp/bare.log" 2>&1 &
bare=$!
e2e_pids+=("$bare")
e2e_wait_tray "$bare"
env -u XDG_RUNTIME_DIR "$kotobane" --exit
e2e_wait_exit "$bare"
e2e_check "without XDG_RUNTIME_DIR: up and ended" 0 $?
e2e_check "without XDG_RUNTIME_DIR: nothing said of it" 0 "$(grep -c XDG_RUNTIME_DIR "$e2e_tmp/bare.log")"

e2e_finish "shell"
