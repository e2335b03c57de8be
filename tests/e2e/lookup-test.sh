#!/usr/bin/env bash
# The look-up as a user makes it: text selected in FeatherPad, Control+F12,
# the reading recorded in the history file; again with the popup in front.
#   lookup-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1

e2e_setup || exit 1
e2e_open_editor '漢字の読み方'

"$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
first=$!
e2e_pids+=("$first")
e2e_wait_tray "$first"

history_text() { iconv -f UTF-16LE -t UTF-8 "$profile/Kotobane.txt" 2>/dev/null; }

xdotool windowactivate --sync "$editor" key ctrl+a
sleep 0.3
xdotool key ctrl+F12
popup=$(e2e_wait_window '^IME reading$')
e2e_check "the popup appears" 1 "$([ -n "$popup" ] && echo 1)"
for i in $(seq 30); do [ -s "$profile/Kotobane.txt" ] && break; sleep 0.1; done
line=$(history_text)
e2e_check "history line" "漢字の読み方	かんじのよみかた" "$(cut -f1,2 <<<"$line")"
e2e_check "19-character date and CR LF" 1 \
  "$(grep -cP '\t\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\r$' <<<"$line")"
e2e_check "no byte-order mark" "e6bca2" "$(head -c 2 "$profile/Kotobane.txt" | iconv -f UTF-16LE -t UTF-8 | od -An -tx1 | tr -d ' \n')"

# With the popup in front the text comes from the editor below; the same
# phrase is not recorded twice. Another phrase on the clipboard first: a
# capture that copied from the popup itself would read and record it.
sleep 0.5
printf '東京' | xclip -selection clipboard -i
sleep 0.2
xdotool key ctrl+F12
sleep 1.5
e2e_check "one line after the second look-up" 1 "$(history_text | wc -l)"
e2e_check "the popup stays" 1 "$(xdotool search --onlyvisible --name '^IME reading$' | wc -l)"

kill -TERM "$first"
e2e_wait_exit "$first"
e2e_check "exit status" 0 $?
e2e_finish "lookup"
