#!/usr/bin/env bash
# The popup's speak button as a user reaches it: a look-up from FeatherPad,
# then the button (Tab to it, Space), and the phrase heard on the chosen
# sink of a private sound server in the stored format.
#   speak-button-test.sh KOTOBANE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
kotobane=$1

e2e_start_desktop || exit 1
e2e_private_dirs
e2e_start_sound || exit 1
profile=$e2e_tmp/profile
e2e_quiet_profile "$profile"
cat >>"$profile/Kotobane.ini" <<'INI'
[Speech]
EnableSpeech=1
Voice=Japanese
Volume=100
Rate=0
AudioFormat=1
AudioOutput=Kotobane Second
INI
e2e_open_editor '漢字の読み方'

QT_LOGGING_RULES=kotobane.speech.debug=true "$kotobane" --profile-dir "$profile" >"$e2e_tmp/kotobane.log" 2>&1 &
first=$!
e2e_pids+=("$first")
e2e_wait_tray "$first"

xdotool windowactivate --sync "$editor" key ctrl+a
sleep 0.3
xdotool key ctrl+F12
popup=$(e2e_wait_window '^IME reading$')
e2e_check "the popup appears" 1 "$([ -n "$popup" ] && echo 1)"

parec -d second.monitor --rate=8000 --channels=2 --format=u8 --file-format=wav "$e2e_tmp/second.wav" &
rec2=$!
parec -d first.monitor --rate=8000 --channels=2 --format=u8 --file-format=wav "$e2e_tmp/first.wav" &
rec1=$!
e2e_pids+=("$rec1" "$rec2")
sleep 0.3
# The text box has the focus; the look-up button, then the speak button.
xdotool windowactivate --sync "$popup" key Tab Tab space
spec=""
for i in $(seq 60); do
  spec+=$(pactl list sink-inputs | awk '/^\tSink:/ { s = $2 } /Sample Specification:/ { print s, $3, $4, $5 }')$'\n'
  grep -q 'played' "$e2e_tmp/kotobane.log" && break
  sleep 0.1
done
sleep 0.5
kill "$rec1" "$rec2"
wait "$rec1" "$rec2" 2>/dev/null
second=$(pactl list short sinks | awk '$2 == "second" { print $1 }')
e2e_check "the stream's format and sink" "$second u8 2ch 8000Hz" "$(grep . <<<"$spec" | sort -u)"
e2e_check "heard on the second sink" 1 "$(e2e_audible "$e2e_tmp/second.wav")"
e2e_check "silence on the first" 0.000000 "$(e2e_rms "$e2e_tmp/first.wav")"
grep 'first buffer written' "$e2e_tmp/kotobane.log" | sed 's/^/  /'

kill -TERM "$first"
e2e_wait_exit "$first"
e2e_check "exit status" 0 $?
e2e_finish "speak-button"
