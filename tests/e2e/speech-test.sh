#!/usr/bin/env bash
# Speech through the espeak-ng voice service on a private sound server with
# two null sinks: the stream's sample format and sink, what the sinks'
# monitors recorded against the WAV of the same text, and the failures
# without a sound server or with an unwritable WAV path.
#   speech-test.sh SPEECH_PROBE KOTOBANE
# The probe passes the text to the service as it is (kana stand for what the
# speech engine makes of 漢字の読み方 for the Japanese voice); kotobane
# --speak is checked the same way with the stored settings.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
probe=$1
kotobane=$2
text=かんじのよみかた
e2e_private_dirs
e2e_start_sound || exit 1
second=$(pactl list short sinks | awk '$2 == "second" { print $1 }')

voices=$("$probe" --list)
e2e_check "the Japanese voice" 1 "$(grep -c -x $'voice\tJapanese\t411' <<<"$voices")"
e2e_check "a Mandarin voice for Traditional Chinese" 1 "$(grep -c -x $'voice\tChinese (Mandarin, Taiwan)\t404' <<<"$voices")"
e2e_check "the outputs" $'output\tKotobane First\noutput\tKotobane Second' "$(grep '^output' <<<"$voices")"

# Seconds of sound in a file, the silence at both ends cut off.
sound_length() {
  sox "$1" -n silence 1 0.01 1% reverse silence 1 0.01 1% reverse stat 2>&1 | awk '/^Length/ { print $3 }'
}
# 1 when $1 and $2 differ by at most $3.
near() {
  awk -v a="$1" -v b="$2" -v t="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; print (a != "" && b != "" && d <= t) ? 1 : 0 }'
}

# Runs the command $2…; records both monitors into $1-first.wav
# and $1-second.wav and sets $spec to the sample specs of the stream(s)
# seen while it played, as "sink spec" lines.
speak_recorded() {
  local name=$1 p1 p2 speaker
  shift
  parec -d first.monitor --rate=22050 --channels=1 --format=s16le --file-format=wav "$e2e_tmp/$name-first.wav" &
  p1=$!
  parec -d second.monitor --rate=22050 --channels=1 --format=s16le --file-format=wav "$e2e_tmp/$name-second.wav" &
  p2=$!
  e2e_pids+=("$p1" "$p2")
  sleep 0.3
  "$@" 2>"$e2e_tmp/$name.err" &
  speaker=$!
  spec=""
  while kill -0 "$speaker" 2>/dev/null; do
    spec+=$(pactl list sink-inputs | awk '/^\tSink:/ { s = $2 } /Sample Specification:/ { print s, $3, $4, $5 }')$'\n'
    sleep 0.1
  done
  wait "$speaker"
  status=$?
  sleep 0.3
  kill "$p1" "$p2"
  wait "$p1" "$p2" 2>/dev/null
  spec=$(grep . <<<"$spec" | sort -u)
}

# "8kHz 8 Bit Stereo" (index 1) on the second sink.
"$probe" --voice Japanese --format 1 --wav "$e2e_tmp/stereo8.wav" "$text"
e2e_check "WAV written" 0 $?
e2e_check "WAV format" "8000 2 8" "$(soxi -r "$e2e_tmp/stereo8.wav") $(soxi -c "$e2e_tmp/stereo8.wav") $(soxi -b "$e2e_tmp/stereo8.wav")"
speak_recorded stereo8 "$probe" --voice Japanese --output "Kotobane Second" --format 1 "$text"
e2e_check "spoken in 8 kHz 8 bit stereo" 0 "$status"
e2e_check "the stream on the second sink" "$second u8 2ch 8000Hz" "$spec"
e2e_check "the second sink heard it" 1 "$(e2e_audible "$e2e_tmp/stereo8-second.wav")"
e2e_check "the first sink stayed silent" 0.000000 "$(e2e_rms "$e2e_tmp/stereo8-first.wav")"
wav_length=$(sound_length "$e2e_tmp/stereo8.wav")
heard_length=$(sound_length "$e2e_tmp/stereo8-second.wav")
echo "WAV $wav_length s, heard $heard_length s"
e2e_check "as long as the WAV" 1 "$(near "$wav_length" "$heard_length" 0.15)"

# The default format ("22kHz 16 Bit Mono") on the default output, the first sink.
speak_recorded default "$probe" --voice Japanese "$text"
first=$(pactl list short sinks | awk '$2 == "first" { print $1 }')
e2e_check "spoken in the default format" 0 "$status"
e2e_check "the stream on the first sink" "$first s16le 1ch 22050Hz" "$spec"
e2e_check "the first sink heard it" 1 "$(e2e_audible "$e2e_tmp/default-first.wav")"
e2e_check "the second sink stayed silent" 0.000000 "$(e2e_rms "$e2e_tmp/default-second.wav")"
"$probe" --voice Japanese --wav "$e2e_tmp/default.wav" "$text"
wav_length=$(sound_length "$e2e_tmp/default.wav")
heard_length=$(sound_length "$e2e_tmp/default-first.wav")
echo "WAV $wav_length s, heard $heard_length s"
e2e_check "default length" 1 "$(near "$wav_length" "$heard_length" 0.15)"

# The program itself, with the stored settings: 漢字の読み方 in "8kHz 8 Bit
# Stereo" on the second sink.
profile=$e2e_tmp/profile
mkdir -p "$profile"
printf '[Speech]\r\nEnableSpeech=1\r\nVoice=Japanese\r\nVolume=100\r\nRate=0\r\nAudioFormat=1\r\nAudioOutput=Kotobane Second\r\n' \
  >"$profile/Kotobane.ini"
timeout 30 "$kotobane" --speak --profile-dir "$profile" --wav "$e2e_tmp/app.wav" 漢字の読み方
e2e_check "program WAV written" 0 $?
e2e_check "program WAV format" "8000 2 8" "$(soxi -r "$e2e_tmp/app.wav") $(soxi -c "$e2e_tmp/app.wav") $(soxi -b "$e2e_tmp/app.wav")"
e2e_check "program WAV is the kana's" 1 "$(cmp -s "$e2e_tmp/app.wav" "$e2e_tmp/stereo8.wav" && echo 1)"
speak_recorded app timeout 30 "$kotobane" --speak --profile-dir "$profile" 漢字の読み方
e2e_check "the program spoke" 0 "$status"
e2e_check "the program's stream on the second sink" "$second u8 2ch 8000Hz" "$spec"
e2e_check "the second sink heard the program" 1 "$(e2e_audible "$e2e_tmp/app-second.wav")"
e2e_check "the first sink stayed silent for the program" 0.000000 "$(e2e_rms "$e2e_tmp/app-first.wav")"
wav_length=$(sound_length "$e2e_tmp/app.wav")
heard_length=$(sound_length "$e2e_tmp/app-second.wav")
echo "program: WAV $wav_length s, heard $heard_length s"
e2e_check "the program's sound as long as its WAV" 1 "$(near "$wav_length" "$heard_length" 0.15)"

# An unwritable WAV path: a message, no file.
"$probe" --wav "$e2e_tmp/none/out.wav" "$text" 2>"$e2e_tmp/unwritable.err"
e2e_check "unwritable WAV fails" 1 $?
e2e_check "unwritable WAV message" 1 "$(grep -c "^Cannot write $e2e_tmp/none/out.wav: " "$e2e_tmp/unwritable.err")"

# No sound server: the WAV still works, speaking fails at once and says why.
export PULSE_SERVER=unix:$e2e_tmp/nowhere.sock
"$probe" --voice Japanese --wav "$e2e_tmp/offline.wav" "$text"
e2e_check "WAV without a sound server" 0 $?
e2e_check "the same WAV" 1 "$(cmp -s "$e2e_tmp/offline.wav" "$e2e_tmp/default.wav" && echo 1)"
start=$(date +%s%N)
timeout 20 "$probe" --voice Japanese "$text" 2>"$e2e_tmp/offline.err"
e2e_check "speaking without a sound server fails" 1 $?
e2e_check "and says why" 1 "$(grep -c -x -F "There is no audio output (is the sound server running?)." "$e2e_tmp/offline.err")"
e2e_check "and does not wait" 1 "$((($(date +%s%N) - start) / 1000000 < 5000))"
timeout 30 "$kotobane" --speak --profile-dir "$profile" --wav "$e2e_tmp/app-offline.wav" 漢字の読み方
e2e_check "program WAV without a sound server" 1 "$(cmp -s "$e2e_tmp/app-offline.wav" "$e2e_tmp/app.wav" && echo 1)"
timeout 30 "$kotobane" --speak --profile-dir "$profile" 漢字の読み方 2>"$e2e_tmp/app-offline.err"
rc=$?
e2e_check "the program fails without a sound server" 1 "$([ $rc -ne 0 ] && [ $rc -ne 124 ] && echo 1)"
e2e_check "and says why" 1 "$(grep -c -F "There is no audio output (is the sound server running?)." "$e2e_tmp/app-offline.err")"

e2e_finish speech-test
