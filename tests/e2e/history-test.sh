#!/usr/bin/env bash
# The history window as a user works with it: opened by `kotobane --history`
# over a prepared history, sorted by a header click, two rows deleted and
# saved, a look-up made while it is open, an export to CSV imported back,
# and the window opening by itself when its days have passed.
#   history-test.sh KOTOBANE [SCREENSHOT-DIR]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1
shots=${2:-}

e2e_setup || exit 1

utf16() { iconv -f UTF-8 -t UTF-16LE; }
lines_of() { iconv -f UTF-16LE -t UTF-8 "$1" 2>/dev/null | tr -d '\r'; }

# Five look-ups, not in date order.
printf '%s\r\n' "漢字	かんじ	2024/03/05 09:04:31" "東京	とうきょう	2024/03/07 18:22:10" \
  "猫	ねこ	2024/02/28 11:00:00" "中国	zhōng guó	2024/03/06 07:45:00" "韓國語	한국어	2023/12/31 23:59:59" \
  | utf16 >"$profile/Kotobane.txt"

e2e_open_editor '漢字の読み方'
LC_ALL=C.UTF-8 "$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
program=$!
e2e_pids+=("$program")
e2e_wait_tray "$program"

"$kotobane" --history
win=$(e2e_wait_window '^Kotobane History$')
e2e_check "kotobane --history opens the window" 1 "$([ -n "$win" ] && echo 1)"
[ -n "$win" ] || { cat "$e2e_tmp/kotobane.log"; e2e_finish history; exit; }
sleep 0.5
e2e_shot history-rows

# x and y of the window's client area.
read -r wx wy <<<"$(xwininfo -id "$win" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  END {print x, y}')"
# The list's rows in display order, as Copy of all of them puts them on the
# clipboard: phrase, reading and date a line.
rows() {
  printf 'nothing copied' | xclip -selection clipboard -i -quiet >/dev/null 2>&1 &
  sleep 0.2
  xdotool windowactivate --sync "$win" key ctrl+a key ctrl+c
  sleep 0.4
  timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r'
}
phrases() { rows | cut -f1 | tr '\n' ' '; }

e2e_check "newest first" "東京 中国 漢字 猫 韓國語 " "$(phrases)"

# The menu bar, the header and each row are about 22 pixels high in the
# template's font: a click on Phrase.
menu=22
xdotool mousemove $((wx + 40)) $((wy + menu + 10)) click 1
sleep 0.5
e2e_shot history-sorted
# The program runs in C.UTF-8, where Han characters collate as they are numbered.
e2e_check "a click on Phrase sorts by it" "中国 東京 漢字 猫 韓國語 " "$(phrases)"
xdotool mousemove $((wx + 40)) $((wy + menu + 10)) click 1
sleep 0.5
e2e_check "a second click reverses it" "韓國語 猫 漢字 東京 中国 " "$(phrases)"

# Two rows, the second and the fourth, selected with the mouse.
row_y() { echo $((wy + menu + 22 + 22 * $1 + 8)); }
xdotool mousemove $((wx + 40)) "$(row_y 1)" click 1
xdotool keydown ctrl mousemove $((wx + 40)) "$(row_y 3)" click 1 keyup ctrl
sleep 0.3
xdotool key ctrl+Delete
sleep 0.3
xdotool key ctrl+s
sleep 0.5
e2e_check "the file holds the remaining rows in display order" \
  "韓國語	한국어	2023/12/31 23:59:59|漢字	かんじ	2024/03/05 09:04:31|中国	zhōng guó	2024/03/06 07:45:00" \
  "$(lines_of "$profile/Kotobane.txt" | paste -sd '|')"

# A look-up while the window is open: in the list at once, kept by a save.
xdotool windowactivate --sync "$editor" key ctrl+a
sleep 0.3
xdotool key ctrl+F12
for i in $(seq 30); do [ "$(lines_of "$profile/Kotobane.txt" | wc -l)" -ge 4 ] && break; sleep 0.1; done
e2e_check "the look-up is appended" 4 "$(lines_of "$profile/Kotobane.txt" | wc -l)"
listed=$(rows)
e2e_check "and listed" 1 "$(grep -c '^漢字の読み方	かんじのよみかた	' <<<"$listed")"
# Its place under the sort by phrase, descending.
e2e_check "in its sorted place" "$(cut -f1 <<<"$listed" | LC_ALL=C.UTF-8 sort -r | paste -sd ' ')" \
  "$(cut -f1 <<<"$listed" | paste -sd ' ')"
xdotool mousemove $((wx + 40)) "$(row_y 0)" click 1
xdotool key ctrl+Delete
sleep 0.3
xdotool key ctrl+s
sleep 0.5
saved=$(lines_of "$profile/Kotobane.txt")
e2e_check "the save keeps the look-up once" 1 "$(grep -c '^漢字の読み方	' <<<"$saved")"
e2e_check "and the deleted row stays deleted" 0 "$(grep -c '^韓國語	' <<<"$saved")"
e2e_check "the saved file is the list" "$(rows | paste -sd '|')" "$(paste -sd '|' <<<"$saved")"

# Export to a .csv through the file dialog, then import it back.
before=$(rows)
xdotool windowactivate --sync "$win" key alt+f
sleep 0.3
e2e_shot history-file-menu
xdotool key e
dialog=$(e2e_wait_window '^Export$')
e2e_check "the export dialog" 1 "$([ -n "$dialog" ] && echo 1)"
sleep 0.3
xdotool type --delay 20 "$e2e_tmp/out.csv"
xdotool key Return
for i in $(seq 30); do [ -s "$e2e_tmp/out.csv" ] && break; sleep 0.1; done
e2e_check "the export is comma-separated UTF-16LE in display order" "$(tr '\t' ',' <<<"$before" | paste -sd '|')" \
  "$(lines_of "$e2e_tmp/out.csv" | paste -sd '|')"
e2e_check "without a byte-order mark" 0 "$(head -c 2 "$e2e_tmp/out.csv" | od -An -tx1 | grep -c 'ff fe')"
xdotool windowactivate --sync "$win" key alt+f
sleep 0.3
xdotool key i
dialog=$(e2e_wait_window '^Import$')
sleep 0.3
xdotool type --delay 20 "$e2e_tmp/out.csv"
xdotool key Return
sleep 0.8
e2e_check "the import appends the same rows at the end" "$(printf '%s\n%s' "$before" "$before" | paste -sd '|')" \
  "$(rows | paste -sd '|')"

# Nothing was deleted since the export: Close asks nothing.
xdotool windowactivate --sync "$win" key alt+f
sleep 0.3
xdotool key c
for i in $(seq 30); do [ -z "$(xdotool search --onlyvisible --name '^Kotobane History$')" ] && break; sleep 0.1; done
e2e_check "Close closes it" "" "$(xdotool search --onlyvisible --name '^Kotobane History$')"
e2e_check "no question asked" "" "$(xdotool search --onlyvisible --name '^kotobane$')"
"$kotobane" --exit
e2e_wait_exit "$program"
e2e_check "exit status" 0 $?
e2e_check "placement stored" 1 "$(grep -c '^DlgHistory=' "$profile/Kotobane.ini")"
e2e_check "column widths stored" 1 "$(grep -ci '^1015=' "$profile/Kotobane.ini")"

# The automatic display: Days has passed and DispOnStart is set.
auto=$e2e_tmp/auto
mkdir -p "$auto"
printf '%s\r\n' "猫	ねこ	2024/02/28 11:00:00" | utf16 >"$auto/Kotobane.txt"
printf '[History]\nAutoDispHis=1\nDays=3\nDispOnStart=1\nDispHis=2000/01/01 00:00:00\n' >"$auto/Kotobane.ini"
"$kotobane" --profile-dir "$auto" >"$e2e_tmp/auto.log" 2>&1 &
second=$!
e2e_pids+=("$second")
win=$(e2e_wait_window '^Kotobane History$')
e2e_check "the window opens by itself" 1 "$([ -n "$win" ] && echo 1)"
[ -n "$win" ] && xdotool windowactivate --sync "$win" key alt+f && sleep 0.3 && xdotool key c
sleep 0.5
"$kotobane" --exit
e2e_wait_exit "$second"
e2e_check "DispHis is today" "$(date +%Y/%m/%d)" "$(grep -a '^DispHis=' "$auto/Kotobane.ini" | cut -d= -f2 | cut -c1-10)"

# One line of 50 MB: the window shows it and the program still answers.
huge=$e2e_tmp/huge
mkdir -p "$huge"
perl -e 'print "a\0" x 25_000_000, "\t\0a\0\t\0", join("\0", split //, "2024/02/28 11:00:00"), "\0\r\0\n\0"' \
  >"$huge/Kotobane.txt"
"$kotobane" --profile-dir "$huge" >"$e2e_tmp/huge.log" 2>&1 &
third=$!
e2e_pids+=("$third")
e2e_wait_tray "$third"
"$kotobane" --history
e2e_check "a 50 MB line is shown" 1 "$(e2e_wait_window '^Kotobane History$' >/dev/null && echo 1)"
sleep 1
"$kotobane" --exit
e2e_wait_exit "$third" 20
e2e_check "and --exit ends the program within 2 s" 0 $?
e2e_finish "history"
