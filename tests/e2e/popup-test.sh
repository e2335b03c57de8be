#!/usr/bin/env bash
# The popup as a first-time user meets it: a long sentence looked up from
# FeatherPad shows whole, the outline shows on all four sides, and the
# window resizes by its left and top edges and its grip and moves by its
# drag area.
#   popup-test.sh KOTOBANE [SCREENSHOT.png]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1
shot=${2:-$e2e_tmp/shot.png}

e2e_setup || exit 1
e2e_open_editor '吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗い所'
"$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
program=$!
e2e_pids+=("$program")

# x, y, width and height of window $1.
rect() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
  /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'; }
# Drags with button 1 from $1,$2 by $3,$4, a step at a time as a hand would.
drag() {
  xdotool mousemove "$1" "$2" sleep 0.2 mousedown 1 sleep 0.2 \
    mousemove $(($1 + $3 / 2)) $(($2 + $4 / 2)) sleep 0.1 mousemove $(($1 + $3)) $(($2 + $4)) sleep 0.2 mouseup 1
  sleep 0.3
}

# The size it starts with, shown through the running copy.
e2e_wait_tray "$program"
"$kotobane" --profile-dir "$profile" --show 'あ'
popup=$(e2e_wait_window '^IME reading$')
e2e_check "the popup appears" 1 "$([ -n "$popup" ] && echo 1)"
[ -n "$popup" ] || { e2e_finish popup; exit; }
read -r _ _ w0 h0 <<<"$(rect "$popup")"

xdotool windowactivate --sync "$editor" key ctrl+a
sleep 0.3
xdotool key ctrl+F12
for i in $(seq 30); do
  [ "$(rect "$popup" | cut -d' ' -f4)" -gt "$h0" ] && break
  sleep 0.1
done
sleep 0.3
import -window root "$shot"
read -r x y w h <<<"$(rect "$popup")"
e2e_check "wider than at the start, at most half the screen" 1 "$([ "$w" -gt "$w0" ] && [ "$w" -le 640 ] && echo 1)"
# The rows of the text box (left of the buttons) with white text in them:
# the phrase and its reading take three lines or more, none cut at the bottom.
rows=$(convert "$shot" -crop "$((w - 100))x$((h - 6))+$((x + 3))+$((y + 3))" +repage -fuzz 20% -fill black \
  +opaque white -scale "1x$((h - 6))!" -depth 8 txt:- | awk 'NR > 1 {printf "%s", ($2 ~ /^\(0,/ ? "." : "#")}')
e2e_check "three lines of text or more" 1 "$([ "$(grep -o '#\+' <<<"$rows" | wc -l)" -ge 3 ] && echo 1)"
e2e_check "the last line ends inside the box" . "${rows: -1}"
# Each side of the outline, its rounded corners left out, is the one colour.
side() { convert "$shot" -crop "$1" +repage -unique-colors -depth 8 txt:- | awk 'NR > 1 {print $3}' | tr '\n' ' '; }
e2e_check "outline on the left" "#FFFF7F " "$(side "1x$((h - 10))+$x+$((y + 5))")"
e2e_check "outline on the right" "#FFFF7F " "$(side "1x$((h - 10))+$((x + w - 1))+$((y + 5))")"
e2e_check "outline on the top" "#FFFF7F " "$(side "$((w - 10))x1+$((x + 5))+$y")"
e2e_check "outline on the bottom" "#FFFF7F " "$(side "$((w - 10))x1+$((x + 5))+$((y + h - 1))")"

drag "$((x + 1))" "$((y + h / 2))" -60 0
e2e_check "the left edge widens it leftwards" "$((x - 60)) $y $((w + 60)) $h" "$(rect "$popup")"
read -r x y w h <<<"$(rect "$popup")"
drag "$((x + w / 3))" "$((y + 1))" 0 -40
e2e_check "the top edge makes it taller upwards" "$x $((y - 40)) $w $((h + 40))" "$(rect "$popup")"
read -r x y w h <<<"$(rect "$popup")"
drag "$((x + w - 5))" "$((y + h - 5))" 30 20
e2e_check "the grip still resizes" "$x $y $((w + 30)) $((h + 20))" "$(rect "$popup")"
read -r x y w h <<<"$(rect "$popup")"
drag "$((x + w - 6))" "$((y + 6))" -50 30
e2e_check "the drag area still moves it" "$((x - 50)) $((y + 30)) $w $h" "$(rect "$popup")"
read -r x y w h <<<"$(rect "$popup")"

kill -TERM "$program"
e2e_wait_exit "$program"
e2e_check "exit status" 0 $?
# left, top, right and bottom of the size and place the user dragged to
e2e_check "the user's placement is stored" "$x,$y,$((x + w)),$((y + h))" \
  "$(grep '^DlgReading=' "$profile/Kotobane.ini" | cut -d, -f7- | tr -d '\r')"
e2e_finish "popup"
