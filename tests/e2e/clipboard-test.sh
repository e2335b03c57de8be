#!/usr/bin/env bash
# The X11 clipboard as a capture reads it: text from other clients (xclip,
# a Qt program), an owner that takes the clipboard late, one that never
# answers, none at all, and 8-bit STRING text.
# Usage: clipboard-test.sh CLIPBOARD_PROBE
probe=$1
export E2E_TRAY=0
# shellcheck source=desktop.sh
. "$(dirname "$0")/desktop.sh"
e2e_start_desktop || exit 1

# errno values on Linux.
ENODATA=61
ETIMEDOUT=110

# Starts xclip owning the clipboard with the contents of file $1 (target
# $2, UTF8_STRING when empty) and waits until it is the owner.
xclip_own() {
  local target=()
  [ -n "${2:-}" ] && target=(-target "$2")
  xclip -quiet -selection clipboard "${target[@]}" -i "$1" >/dev/null 2>&1 &
  e2e_pids+=($!)
  xclip_pid=$!
  local i
  for i in $(seq 100); do
    xclip -o -selection clipboard -target TARGETS 2>/dev/null | grep -q "${2:-UTF8_STRING}" && return 0
    sleep 0.1
  done
  return 1
}
stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }

# All lines but the last, and the last (the probes print the time last).
head_of() { printf '%s\n' "$1" | sed '$d'; }
last_of() { printf '%s\n' "$1" | tail -n 1; }
below() { [ "$1" -lt "$2" ] && echo yes || echo "no ($1 ms, bound $2)"; }
atleast() { [ "$1" -ge "$2" ] && echo yes || echo "no ($1 ms, wanted >= $2)"; }

# Without Qt on X the platform choice falls to the set that does nothing.
QT_QPA_PLATFORM=offscreen "$probe" read >/dev/null 2>&1
e2e_check "not on xcb: no X11 services" 3 $?

# Nothing owns the clipboard on a fresh display.
out=$("$probe" read)
e2e_check "no owner gives nothing" "none:$ENODATA" "$(head_of "$out")"
e2e_check "no owner answers at once" yes "$(below "$(last_of "$out")" 100)"

# Japanese text from xclip comes back exactly, as UTF-8.
printf '漢字の読み方' >"$e2e_tmp/kanji.txt"
xclip_own "$e2e_tmp/kanji.txt" || echo "xclip did not take the clipboard"
out=$("$probe" read)
e2e_check "xclip text" "ok:漢字の読み方" "$(head_of "$out")"
echo "xclip read took $(last_of "$out") ms"
stop "$xclip_pid"

printf 'first 行\nsecond line\t終' >"$e2e_tmp/lines.txt"
xclip_own "$e2e_tmp/lines.txt"
out=$("$probe" read)
e2e_check "multi-line text" "ok:$(cat "$e2e_tmp/lines.txt")" "$(head_of "$out")"
stop "$xclip_pid"

# Text larger than one X request arrives in INCR chunks.
python3 -c 'import sys; sys.stdout.write("かな" * 250000)' >"$e2e_tmp/big.txt"
xclip_own "$e2e_tmp/big.txt"
"$probe" read >"$e2e_tmp/big.out"
e2e_check "large text (INCR)" "ok:$(cat "$e2e_tmp/big.txt")" "$(sed '$d' "$e2e_tmp/big.out")"
echo "large read ($(stat -c %s "$e2e_tmp/big.txt") bytes) took $(tail -n 1 "$e2e_tmp/big.out") ms"
stop "$xclip_pid"

# A Qt program that set the text through SetUnicodeText serves it to others.
"$probe" own '日本語テキスト' 0 >"$e2e_tmp/own.out" &
e2e_pids+=($!)
own_pid=$!
e2e_check "owner reads its own text" "owned:ok:日本語テキスト" "$(e2e_wait_line "$e2e_tmp/own.out" "^owned" 100)"
e2e_check "xclip reads our text" "日本語テキスト" "$(xclip -o -selection clipboard)"
out=$("$probe" read)
e2e_check "probe reads a Qt owner" "ok:日本語テキスト" "$(head_of "$out")"
stop "$own_pid"

# An owner that takes the clipboard 100 ms late is waited for, and its
# text is read rather than the old one.
printf '古い' >"$e2e_tmp/old.txt"
xclip_own "$e2e_tmp/old.txt"
out=$("$probe" watch 0 2000 "$probe" own '新しい' 100)
e2e_check "slow owner seen" "changed:1" "$(sed -n 1p <<<"$out")"
waited=$(sed -n 2p <<<"$out"); waited=${waited#waited:}
e2e_check "slow owner waited for" yes "$(atleast "$waited" 100)"
e2e_check "slow owner ended the wait early" yes "$(below "$waited" 2000)"
e2e_check "slow owner's text" "text:ok:新しい" "$(sed -n 3p <<<"$out")"
echo "slow owner seen after $waited ms"
stop "$xclip_pid"

# The shortest wait holds even when the owner is quick.
printf 'quick' >"$e2e_tmp/quick.txt"
out=$("$probe" watch 300 2000 sh -c 'exec xclip -quiet -selection clipboard -i "$1" 2>/dev/null' sh "$e2e_tmp/quick.txt")
e2e_check "quick owner seen" "changed:1" "$(sed -n 1p <<<"$out")"
waited=$(sed -n 2p <<<"$out"); waited=${waited#waited:}
e2e_check "shortest wait kept" yes "$(atleast "$waited" 300)"
e2e_check "quick owner's text" "text:ok:quick" "$(sed -n 3p <<<"$out")"

# No new owner: the wait ends at its bound and says so.
out=$("$probe" watch 0 300 true)
e2e_check "no copy, no change" "changed:0" "$(sed -n 1p <<<"$out")"
waited=$(sed -n 2p <<<"$out"); waited=${waited#waited:}
e2e_check "no copy waits the bound" yes "$(atleast "$waited" 300)"
e2e_check "no copy waits no longer" yes "$(below "$waited" 600)"
echo "unchanged wait took $waited ms"

# Without XFixes no owner can be watched: the wait is the shortest, not the
# bound. This Xvfb aborts when a Qt client leaves it, after the answer came.
mkfifo "$e2e_tmp/plainfd"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -extension XFIXES 3>"$e2e_tmp/plainfd" 2>/dev/null &
e2e_pids+=($!) && disown $!
read -r -t 10 plain <"$e2e_tmp/plainfd"
out=$(DISPLAY=:${plain:-none} "$probe" watch 10 500 true)
waited=$(sed -n 2p <<<"$out"); waited=${waited#waited:}
e2e_check "no XFixes: no watch, no change, short wait" "watching:0 changed:0 yes" \
  "$(sed -n 4p <<<"$out") $(sed -n 1p <<<"$out") $(below "${waited:-9999}" 300)"

# An owner that never answers costs one bounded wait, also when the
# 8-bit text is asked after the Unicode text.
"$probe" hang >"$e2e_tmp/hang.out" &
e2e_pids+=($!)
hang_pid=$!
e2e_check "hung owner owns" owned "$(e2e_wait_line "$e2e_tmp/hang.out" "^owned" 100)"
out=$("$probe" read)
e2e_check "hung owner gives nothing" "none:$ETIMEDOUT" "$(head_of "$out")"
e2e_check "hung owner read is bounded" yes "$(below "$(last_of "$out")" 700)"
echo "hung owner read took $(last_of "$out") ms"
out=$("$probe" read-ansi)
e2e_check "hung owner, both forms" "unicode:none:$ETIMEDOUT
ansi:none:$ETIMEDOUT" "$(head_of "$out")"
e2e_check "hung owner, both forms bounded" yes "$(below "$(last_of "$out")" 700)"
echo "hung owner read of both forms took $(last_of "$out") ms"
stop "$hang_pid"

# Its ownership ends with it.
out=$("$probe" read)
e2e_check "owner gone gives nothing" "none:$ENODATA" "$(head_of "$out")"
e2e_check "owner gone answers at once" yes "$(below "$(last_of "$out")" 100)"

# An owner offering only STRING: no Unicode text, the Latin-1 bytes as given.
latin1=$(printf 'caf\xe9 \xc0 la' | od -An -tx1 | tr -d ' \n')
"$probe" string-owner "$latin1" >"$e2e_tmp/string.out" &
e2e_pids+=($!)
string_pid=$!
e2e_check "STRING owner owns" owned "$(e2e_wait_line "$e2e_tmp/string.out" "^owned" 100)"
out=$("$probe" read-ansi)
e2e_check "STRING only: no Unicode" "unicode:none:$ENODATA" "$(sed -n 1p <<<"$out")"
e2e_check "STRING bytes" "ansi:$latin1" "$(sed -n 2p <<<"$out")"
e2e_check "refused targets answer at once" yes "$(below "$(last_of "$out")" 100)"
stop "$string_pid"

e2e_finish clipboard-test
