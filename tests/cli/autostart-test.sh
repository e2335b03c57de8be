#!/usr/bin/env bash
# Starting with the desktop session from the command line, without a
# display: the entry written where the session looks, valid, starting this
# copy with its profile directory; then removed.
#   autostart-test.sh KOTOBANE
set -u
kotobane=$(realpath "$1")  # the test changes folders
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../checks.sh"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
entry=$XDG_CONFIG_HOME/autostart/io.github.kotobane.Kotobane.desktop
mkdir -p "$tmp/my profile"

# A relative profile directory with a space in it: absolute and quoted.
out=$(cd "$tmp" && "$kotobane" --autostart on --profile-dir "my profile" 2>&1)
check "on status" 0 $?
check "on line" "Autostart entry written: $entry" "$out"
check "desktop-file-validate" "" "$(desktop-file-validate "$entry" 2>&1)"
exec_line=$(grep '^Exec=' "$entry")
check "Exec" "Exec=$kotobane --profile-dir \"$tmp/my profile\"" "$exec_line"
# The entry's quoting is the shell's for these characters: what it starts
# parses as the program's own command line.
check "Exec starts the program" "$("$kotobane" --version)" "$(eval "${exec_line#Exec=} --version" 2>&1)"

# Characters the key reserves or escapes, % and a backslash.
# shellcheck disable=SC2016  # the dollar and backquotes are meant literally
odd=$tmp/'a "b" $c `d` 100% e\f'
"$kotobane" --autostart on --profile-dir "$odd" >/dev/null
check "odd desktop-file-validate" "" "$(desktop-file-validate "$entry" 2>&1)"
# In the file each backslash of the quoting is doubled: four for one.
# shellcheck disable=SC2016
check "odd Exec" "Exec=$kotobane --profile-dir \"$tmp/"'a \\"b\\" \\$c \\`d\\` 100%% e\\\\f"' \
  "$(grep '^Exec=' "$entry")"

out=$("$kotobane" --autostart=off 2>&1)
check "off status" 0 $?
check "off line" "Autostart entry removed: $entry" "$out"
check "off removes" no "$([ -e "$entry" ] && echo yes || echo no)"
out=$("$kotobane" --autostart off 2>&1)
check "off again line" "No autostart entry to remove: $entry" "$out"

touch "$tmp/file"
XDG_CONFIG_HOME=$tmp/file "$kotobane" --autostart on >/dev/null 2>"$tmp/err"
check "unwritable status" 1 $?
check "unwritable line" "kotobane: error on write $tmp/file/autostart/io.github.kotobane.Kotobane.desktop: Not a directory" \
  "$(cat "$tmp/err")"

finish autostart
