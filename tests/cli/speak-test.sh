#!/usr/bin/env bash
# Speech from the command line, written to WAV files: no sound server needed.
set -u
kotobane=$1
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../checks.sh"

# Little-endian unsigned number of $3 bytes at offset $2 of file $1.
field() {
  od -An -t u"$3" -j "$2" -N "$3" "$1" | tr -d ' '
}

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
export XDG_CONFIG_HOME=$profile/config XDG_DATA_HOME=$profile/data
mkdir -p "$profile/d"

# The stored format: AudioFormat=1 is 8 kHz, 8 bit, stereo.
printf '[Speech]\r\nEnableSpeech=0\r\nVoice=Japanese\r\nAudioFormat=1\r\nVolume=100\r\nRate=0\r\n' >"$profile/d/Kotobane.ini"
cp "$profile/d/Kotobane.ini" "$profile/ini.before"
timeout 60 "$kotobane" --speak --profile-dir "$profile/d" --wav "$profile/a.wav" 漢字 2>"$profile/err"
check "wav status" 0 $?
check "wav riff" "RIFF" "$(head -c 4 "$profile/a.wav")"
check "wav rate" 8000 "$(field "$profile/a.wav" 24 4)"
check "wav channels" 2 "$(field "$profile/a.wav" 22 2)"
check "wav bits" 8 "$(field "$profile/a.wav" 34 2)"
peak=$(sox "$profile/a.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
check "wav not silent" 1 "$(awk -v p="$peak" 'BEGIN {print (p > 0.05) ? 1 : 0}')"
check "settings untouched" "$(od -c <"$profile/ini.before")" "$(od -c <"$profile/d/Kotobane.ini")"

# What a voice cannot read it is given as kana or hangul.
timeout 60 "$kotobane" --speak --voice Japanese --wav "$profile/k1.wav" 漢字の読み方 2>/dev/null
timeout 60 "$kotobane" --speak --voice Japanese --wav "$profile/k2.wav" かんじのよみかた 2>/dev/null
check "japanese reading" 0 "$(cmp -s "$profile/k1.wav" "$profile/k2.wav"; echo $?)"
timeout 60 "$kotobane" --speak --voice Korean --wav "$profile/h1.wav" 韓國語 2>/dev/null
timeout 60 "$kotobane" --speak --voice Korean --wav "$profile/h2.wav" 한국어 2>/dev/null
check "korean reading" 0 "$(cmp -s "$profile/h1.wav" "$profile/h2.wav"; echo $?)"
timeout 60 "$kotobane" --speak --voice "English (America)" --wav "$profile/e.wav" 漢字 2>/dev/null
check "other voices unconverted" 1 "$(cmp -s "$profile/e.wav" "$profile/k2.wav"; echo $?)"
check "default format rate" 22050 "$(field "$profile/k1.wav" 24 4)"

# Errors: one line on standard error and status 1.
timeout 60 "$kotobane" --speak --voice Nope --wav "$profile/x.wav" a 2>"$profile/err"
check "unknown voice status" 1 $?
check "unknown voice message" 1 "$(grep -c 'unknown voice "Nope"' "$profile/err")"
timeout 60 "$kotobane" --speak --wav "$profile/no/x.wav" a 2>"$profile/err"
check "unwritable status" 1 $?
check "unwritable message" 1 "$(grep -c 'Cannot write' "$profile/err")"
# What is there and is not a file is written to or refused, never replaced.
wav_at() {  # name, path, expected status, expected message
  local type
  type=$(stat -c %F "$2")
  timeout 60 "$kotobane" --speak --wav "$2" a 2>"$profile/err"
  check "$1 status" "$3" $?
  [ -z "$4" ] || check "$1 message" 1 "$(grep -c "^kotobane: Cannot write $2: $4$" "$profile/err")"
  check "$1 kept" "$type" "$(stat -c %F "$2")"
}
mkfifo "$profile/fifo"
mkdir "$profile/dir"
timeout 20 cat "$profile/fifo" >"$profile/fifo.out" &
wav_at fifo "$profile/fifo" 0 ""
wait
check "fifo reader gets a wav" RIFF "$(head -c 4 "$profile/fifo.out")"
wav_at directory "$profile/dir" 1 "Is a directory"
# A node of the test's own: a fault would replace /dev/full itself.
if mknod "$profile/full" c 1 7 2>/dev/null; then
  wav_at device "$profile/full" 1 "No space left on device"
else
  echo "skipped: no device node may be made here (the device rows)"
fi
check "list voices" 1 "$("$kotobane" --list-voices | grep -cx $'Japanese\t411')"
check "help" 1 "$("$kotobane" --help | grep -c -- '^ *--speak ')"
check "no settings written" "" "$(find "$profile" -name Kotobane.ini ! -path "$profile/d/*")"

finish "cli speak"
