#!/usr/bin/env bash
# The popup and the tray menu as they are painted: screenshots at rest, with
# the mouse over the look-up button and with the tray menu open, without a
# compositing manager, with xcompmgr and with picom (xrender, no GPU), at
# scale 1 and 2, and with another background colour. Each menu's shadow is
# checked pixel by pixel against the screen before it opened.
#   chrome-test.sh KOTOBANE SHADOW_PROBE [SCREENSHOT-DIR]
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1
probe=$2
shots=${3:-}

e2e_setup || exit 1
[ -n "$shots" ] || shots=$e2e_tmp/shots
mkdir -p "$shots"
# A flat background, so that the pictures show the shadow plainly.
xsetroot -solid '#3c6e8c'

geometry() {  # window id -> "x y width height"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
# The program's open menu: its top-level window that is neither the popup
# nor the tray icon.
menu_window() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$program" 2>/dev/null); do
    [ "$id" = "$popup" ] || [ "$id" = "$tray" ] && continue
    echo "$id"
    return 0
  done
  return 1
}

# Sets the popup's background to $1 (#rrggbb) through the options: the
# General page's background button (found by its colour, $2), the colour
# dialog's HTML field, OK there and OK on the sheet.
recolour() {
  local sheet dialog at bx by sx sy sw sh
  "$kotobane" --options
  sheet=$(e2e_wait_window '^Option$') || return 1
  sleep 0.5
  read -r sx sy sw sh <<<"$(geometry "$sheet")"
  import -window root "$e2e_tmp/sheet.png"
  at=$(convert "$e2e_tmp/sheet.png" -crop "${sw}x${sh}+$sx+$sy" +repage txt:- | grep -m 1 -i "$2" | cut -d: -f1)
  [ -n "$at" ] || return 1
  IFS=, read -r bx by <<<"$at"
  xdotool mousemove $((sx + bx + 4)) $((sy + by + 4)) click 1
  dialog=$(e2e_wait_window '^Select Color$') || return 1
  xdotool windowactivate --sync "$dialog" key alt+h key ctrl+a type "$1"
  xdotool key Return
  sleep 0.3
  xdotool windowactivate --sync "$sheet" key Return
  sleep 0.5
  [ -z "$(xdotool search --onlyvisible --name '^Option$')" ]
}

round() {  # name, compositor (none, xcompmgr, picom), scale factor[, new background]
  local name=$1 compositor=$2 scale=$3 background=${4:-} comp_pid="" i
  case $compositor in
    xcompmgr) xcompmgr >"$e2e_tmp/$name-comp.log" 2>&1 & comp_pid=$! ;;
    picom) picom --backend xrender --no-fading-openclose >"$e2e_tmp/$name-comp.log" 2>&1 & comp_pid=$! ;;
  esac
  if [ -n "$comp_pid" ]; then
    e2e_pids+=("$comp_pid")
    sleep 1  # it claims the screen and redirects the windows
    kill -0 "$comp_pid" 2>/dev/null || { echo "$compositor did not start:"; cat "$e2e_tmp/$name-comp.log"; }
  fi
  QT_SCALE_FACTOR=$scale "$kotobane" --profile-dir "$profile" >"$e2e_tmp/$name.log" 2>&1 &
  program=$!
  e2e_pids+=("$program")
  e2e_wait_tray "$program"
  e2e_check "$name: tray icon" 1 "$([ -n "$tray" ] && echo 1)"
  "$kotobane" --show '漢字 (かんじ)'
  popup=$(e2e_wait_window '^IME reading$')
  e2e_check "$name: popup" 1 "$([ -n "$popup" ] && echo 1)"
  [ -n "$popup" ] || return

  if [ -n "$background" ]; then
    recolour "$background" '#000080'
    e2e_check "$name: the background changed in the options" 0 $?
  fi
  read -r px py pw ph <<<"$(geometry "$popup")"
  xdotool mousemove 5 5
  sleep 1
  import -window root "$shots/$name-popup.png"
  # The look-up button's middle: 75.5 of the template's 112 units across.
  xdotool mousemove $((px + pw * 674 / 1000)) $((py + ph / 2))
  sleep 0.6
  import -window root "$shots/$name-hover.png"
  e2e_check "$name: the hovered button changes the picture" 1 \
    "$(compare -metric AE "$shots/$name-popup.png" "$shots/$name-hover.png" null: 2>&1 | awk '{print ($1 > 0)}')"

  read -r tx ty tw th <<<"$(geometry "$tray")"
  xdotool mousemove $((tx + tw / 2)) $((ty + th / 2))
  sleep 0.6
  import -window root "$e2e_tmp/$name-before.png"
  xdotool click 3
  local menu=""
  for i in $(seq 50); do menu=$(menu_window) && break; sleep 0.1; done
  e2e_check "$name: the tray menu opens" 1 "$([ -n "$menu" ] && echo 1)"
  if [ -n "$menu" ]; then
    xdotool key Down
    sleep 0.6
    import -window root "$shots/$name-menu.png"
    read -r mx my mw mh <<<"$(geometry "$menu")"
    # Blended by the compositor where one runs (a window with alpha), painted
    # over a copy of the screen where none does.
    e2e_check "$name: the menu's depth" "$([ "$compositor" = none ] && echo 24 || echo 32)" \
      "$(xwininfo -id "$menu" | awk '/Depth:/ {print $NF}')"
    local result
    result=$("$probe" "$e2e_tmp/$name-before.png" "$shots/$name-menu.png" "$mx" "$my" "$mw" "$mh" "$scale" 2>"$e2e_tmp/$name-probe.err")
    e2e_check "$name: every shadow pixel darkens what was behind it" 0 $?
    echo "$name: menu ${mw}x${mh}+$mx+$my, shadow $result"
    [ -s "$e2e_tmp/$name-probe.err" ] && cat "$e2e_tmp/$name-probe.err"
    xdotool key Escape
  fi
  "$kotobane" --exit
  e2e_wait_exit "$program"
  e2e_check "$name: exit status" 0 $?
  if [ -n "$comp_pid" ]; then
    kill "$comp_pid"
    wait "$comp_pid" 2>/dev/null
    sleep 0.3
  fi
}

round plain none 1
round xcompmgr xcompmgr 1
round picom picom 1
round plain-x2 none 2
round xcompmgr-x2 xcompmgr 2
# Another background chosen in the options: shown at once, and stored at the
# exit for the next start.
round green none 1 '#1e6b2f'
e2e_check "the new background is stored" "Background=3107614" "$(grep -a '^Background=' "$profile/Kotobane.ini" | tr -d '\r')"
round green-xcompmgr xcompmgr 1
e2e_finish chrome
