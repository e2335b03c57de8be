# Sourced by the end-to-end tests: starts a private X desktop (Xvfb on a
# free display, openbox, a tray host) and stops everything it started, by
# process id, when the test ends.
set -u

# libxkbcommon-x11 calls strndup on key names that are not NUL-terminated,
# which strict string checks report although strndup stops at its bound.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}
fi

e2e_pids=()
e2e_tmp=$(mktemp -d)

e2e_cleanup() {
  # Last started first, so that clients go before the X server they use.
  local i pid
  for ((i = ${#e2e_pids[@]} - 1; i >= 0; i--)); do
    pid=${e2e_pids[i]}
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  # What a test added to tear down once its programs are gone.
  declare -F e2e_teardown >/dev/null && e2e_teardown
  rm -rf "$e2e_tmp"
}
trap e2e_cleanup EXIT

e2e_start_desktop() {
  local fifo=$e2e_tmp/displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" 2>"$e2e_tmp/xvfb.log" &
  e2e_pids+=($!)
  local number
  read -r -t 10 number <"$fifo" || { echo "Xvfb did not start" >&2; cat "$e2e_tmp/xvfb.log" >&2; return 1; }
  export DISPLAY=:$number
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
  # A loaded machine can take seconds before the window manager claims the
  # screen.
  if ! e2e_start_until e2e_wm_ready "$e2e_tmp/openbox.log" openbox --sm-disable; then
    echo "the window manager did not start" >&2
    return 1
  fi
  [ "${E2E_TRAY:-1}" = 1 ] || return 0
  e2e_start_tray
}

e2e_wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
e2e_shows_window() { [ -n "$(xdotool search --onlyvisible --pid "$1" 2>/dev/null)" ]; }

# Starts the rest of the arguments as a program logging to $2 and waits up
# to 15 s until check $1 (given the process id) holds; a program that died
# or did not get there is started again, three times in all.
e2e_start_until() {
  local check=$1 log=$2 try i pid
  shift 2
  for try in 1 2 3; do
    "$@" >>"$log" 2>&1 &
    pid=$!
    e2e_pids+=("$pid")
    for i in $(seq 150); do
      "$check" "$pid" && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    echo "$1 did not come up (try $try):" >&2
    cat "$log" >&2
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  return 1
}

# Starts the tray host and waits for its panel.
e2e_start_tray() {
  e2e_start_until e2e_shows_window "$e2e_tmp/trayer.log" trayer --edge bottom --align right --SetDockType true
}

# The RMS amplitude of a recording, as sox measures it (0.000000 for exact
# silence), and whether it is loud enough to have been heard (1 or 0).
e2e_rms() { sox "$1" -n stat 2>&1 | awk '/^RMS +amplitude/ { print $3 }'; }
e2e_audible() { awk -v r="$(e2e_rms "$1")" 'BEGIN { print (r > 0.01) ? 1 : 0 }'; }

# A private PulseAudio server with two null sinks, "first" (the default)
# and "second", described as "Kotobane First" and "Kotobane Second", on a
# socket of its own; no sound card is needed. Clients never start a server
# by themselves, so a test can also point PULSE_SERVER nowhere.
e2e_start_sound() {
  mkdir -p "$e2e_tmp/run" "$e2e_tmp/pulse-home" && chmod 700 "$e2e_tmp/run"
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$e2e_tmp/run}
  printf 'autospawn = no\n' >"$e2e_tmp/pulse-client.conf"
  export PULSE_CLIENTCONFIG=$e2e_tmp/pulse-client.conf PULSE_SERVER=unix:$e2e_tmp/pulse.sock
  HOME=$e2e_tmp/pulse-home pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
    -L "module-null-sink sink_name=first sink_properties=\"device.description='Kotobane First'\"" \
    -L "module-null-sink sink_name=second sink_properties=\"device.description='Kotobane Second'\"" \
    -L "module-native-protocol-unix socket=$e2e_tmp/pulse.sock auth-anonymous=1" \
    >"$e2e_tmp/pulseaudio.log" 2>&1 &
  e2e_pids+=($!)
  local i
  for i in $(seq 100); do
    [ "$(pactl list short sinks 2>/dev/null | wc -l)" = 2 ] && return 0
    sleep 0.1
  done
  echo "the sound server did not start" >&2
  cat "$e2e_tmp/pulseaudio.log" >&2
  return 1
}

# Runtime, settings and data folders of the test's own, so that neither the
# single-instance lock nor any file of the user's is touched.
e2e_private_dirs() {
  mkdir -p "$e2e_tmp/run" && chmod 700 "$e2e_tmp/run"
  export XDG_RUNTIME_DIR=$e2e_tmp/run XDG_CONFIG_HOME=$e2e_tmp/config XDG_DATA_HOME=$e2e_tmp/data
}

# A profile folder $1 whose history window never opens by itself: a first
# run would otherwise show it a second after start once a look-up has
# written the history file, and take the input of the test's windows.
e2e_quiet_profile() {
  mkdir -p "$1"
  printf '[History]\nAutoDispHis=0\n' >"$1/Kotobane.ini"
}

# The usual start of a test of the program: the desktop, private XDG
# folders and a quiet profile folder in $profile.
e2e_setup() {
  e2e_start_desktop || return 1
  e2e_private_dirs
  profile=$e2e_tmp/profile
  e2e_quiet_profile "$profile"
}

# A screenshot of the whole screen as $shots/$1.png, when the test was given
# a folder for them.
e2e_shot() {
  [ -n "${shots:-}" ] && import -window root "$shots/$1.png"
  return 0
}

# Waits up to $2 tenths of a second (100 unless given) for process $1 to
# end, kills it when it has not, and returns its exit status.
e2e_wait_exit() {
  local pid=$1 tenths=${2:-100} i
  for ((i = 0; i < tenths; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid"
  wait "$pid"
}

# Waits until a window whose name matches $1 is mapped; prints its id.
e2e_wait_window() {
  local i id
  for i in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}

# Waits up to 30 s (a loaded machine starts slowly) until process $1 shows
# a window, its tray icon at first; sets $tray to it.
e2e_wait_tray() {
  local i
  tray=""
  for i in $(seq 300); do
    tray=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1)
    [ -n "$tray" ] && return 0
    sleep 0.1
  done
  return 1
}

# Opens FeatherPad on a file holding text $1 and sets $editor to its
# window, checked like any other step.
e2e_open_editor() {
  printf '%s' "$1" >"$e2e_tmp/note.txt"
  featherpad --standalone "$e2e_tmp/note.txt" >"$e2e_tmp/featherpad.log" 2>&1 &
  e2e_pids+=($!)
  editor=$(e2e_wait_window 'note.txt')
  e2e_check "editor window" 1 "$([ -n "$editor" ] && echo 1)"
}

# Prints every visible window that process $1 showed until it ended.
e2e_windows_until_exit() {
  local windows=""
  while kill -0 "$1" 2>/dev/null; do
    windows+=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null)
    sleep 0.05
  done
  printf '%s' "$windows"
}

# Waits up to $3 tenths of a second (50) for a line of file $1 that matches
# the pattern $2, and prints it.
e2e_wait_line() {
  local i line
  for i in $(seq "${3:-50}"); do
    if line=$(grep -m 1 -e "$2" "$1" 2>/dev/null); then
      printf '%s\n' "$line"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../checks.sh"
e2e_check() { check "$@"; }
e2e_finish() { finish "$@"; }
