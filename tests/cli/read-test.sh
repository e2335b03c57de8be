#!/usr/bin/env bash
# The reading from the command line, with the real Japanese dictionary.
set -u
kotobane=$1
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../checks.sh"

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
export XDG_CONFIG_HOME=$profile/config XDG_DATA_HOME=$profile/data

check "default layout" "漢字の読み方 (かんじのよみかた)" "$("$kotobane" --read 漢字の読み方)"
check "plain layout" "漢字" "$("$kotobane" --read --ime 4090409 漢字)"
check "stdin line" "東京 特許 (とうきょう とっきょ)" \
  "$(printf '  東京\t特許  \r\n' | "$kotobane" --read --ime E0010411)"
long=$(printf '字%.0s' $(seq 1001))
check "too long" "The string is more than 1000 byte." "$("$kotobane" --read "$long")"

"$kotobane" --read --ime NOPE 漢字 >/dev/null 2>"$profile/err"
check "unknown ime status" 2 $?
check "unknown ime message" 1 "$(grep -c 'unknown input method' "$profile/err")"

list=$("$kotobane" --list-imes)
check "list ipadic" 1 "$(grep -cx $'E0010411\tMeCab IPADIC (Japanese)' <<<"$list")"
check "list plain" 1 "$(grep -cE $'^[0-9A-F]+\t[0-9A-F]+ \\([A-Za-z_]+\\)$' <<<"$list")"
mkdir -p "$profile/d"
printf '[Settings]\r\nkeylayout=4090409\r\n' >"$profile/d/Kotobane.ini"
check "stored layout" "漢字" "$("$kotobane" --read --profile-dir "$profile/d" 漢字)"
check "settings untouched" "$(printf '[Settings]\r\nkeylayout=4090409\r\n' | od -c)" "$(od -c <"$profile/d/Kotobane.ini")"
check "no files written" "" "$(find "$profile" -mindepth 1 ! -name err ! -path "$profile/d*")"
# A stored back-end nobody has: the locale's reads, and one line says so.
printf '[Settings]\nkeylayout=E0090411\n' >"$profile/d/Kotobane.ini"
check "missing back-end" "漢字 (かんじ)" "$("$kotobane" --read --profile-dir "$profile/d" 漢字 2>"$profile/err")"
check "missing back-end message" "kotobane: The reading back-end E0090411 is not installed;" "$(cut -d' ' -f1-8 "$profile/err")"
mkdir -p "$profile/config/kotobane"
printf '[Settings]\nkeylayout=4090409\n' >"$profile/config/kotobane/Kotobane.ini"
check "user settings" "漢字" "$("$kotobane" --read 漢字)"

# Control options need a running copy; with none they say so and fail,
# with or without a display.
mkdir -p "$profile/run" && chmod 700 "$profile/run"
for option in --get-text --history --options --exit; do
  XDG_RUNTIME_DIR=$profile/run DISPLAY= timeout 10 "$kotobane" "$option" >/dev/null 2>"$profile/err"
  check "$option without a running copy" 1 $?
  check "$option message" 1 "$(grep -c 'not running' "$profile/err")"
done
XDG_RUNTIME_DIR=$profile/run timeout 10 "$kotobane" --exit --history 2>"$profile/err"
check "two control options" 2 $?
check "no lock left behind" "" "$(ls "$profile/run")"

# A FIFO in place of an index is built over, never waited on.
mkdir -p "$profile/cache/kotobane"
for name in terra_pinyin-hans.idx terra_pinyin-hant.idx hanja.idx; do
  mkfifo "$profile/cache/kotobane/$name"
done
out=$(XDG_CACHE_HOME=$profile/cache timeout 60 "$kotobane" --read --ime E0010411 東京 2>"$profile/err")
check "FIFO index status" 0 $?
check "FIFO index reading" "東京 (とうきょう)" "$out"
XDG_CACHE_HOME=$profile/cache timeout 30 "$kotobane" --list-imes >/dev/null 2>&1
check "FIFO index list" 0 $?

# Listing the back-ends opens none of them: no index is built.
XDG_CACHE_HOME=$profile/fresh-cache "$kotobane" --list-imes >/dev/null
check "listing builds no index" "" "$(find "$profile/fresh-cache" -type f 2>/dev/null)"

finish "cli"
