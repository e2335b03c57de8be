#!/usr/bin/env bash
# Plasma binds Control+F12 to Show Desktop, and its portal would report the
# key as ours although it never fires: the program asks for its shortcut
# without a key and tells the user once how to choose one.
#   wayland-taken-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wayland.sh"
kotobane=$1
command -v kwin_wayland >/dev/null || { echo "wayland-taken: skipped (no kwin_wayland)"; exit 77; }
wl_start_kwin || exit 1

# plasmashell's own registration, as KGlobalAccel keeps it.
action=(array:string:plasmashell,"show dashboard",plasmashell,"Show Desktop")
kga() { dbus-send --session --print-reply --dest=org.kde.kglobalaccel /kglobalaccel "org.kde.KGlobalAccel.$1" "${@:2}"; }
kga doRegister "${action[@]}" >/dev/null
kga setShortcut "${action[@]}" array:int32:$((0x04000000 | 0x0100003b)) uint32:6 >"$e2e_tmp/set.log"
e2e_check "Show Desktop holds Ctrl+F12" 1 "$(grep -c 'int32 83886139' "$e2e_tmp/set.log")"

profile=$e2e_tmp/profile
e2e_quiet_profile "$profile"
QT_LOGGING_RULES='kotobane.*=true' "$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
program=$!
e2e_pids+=("$program")
trigger=$(e2e_wait_line "$e2e_tmp/kotobane.log" "the desktop's trigger" 150)
e2e_check "no key asked for" 'kotobane.portal: the desktop'\''s trigger: ""' "$trigger"
e2e_check "the user told" 1 "$(grep -c '^kotobane: Ctrl+F12 is taken on this desktop by “Show Desktop” (plasmashell)' \
  "$e2e_tmp/kotobane.log")"
e2e_check "how to choose" 1 "$(grep -c 'under Kotobane in System Settings' "$e2e_tmp/kotobane.log")"
timeout 20 "$kotobane" --exit
e2e_check "--exit" 0 $?
e2e_wait_exit "$program"
[ "$checks_failed" -eq 0 ] || cat "$e2e_tmp/kotobane.log"
e2e_finish "wayland-taken"
