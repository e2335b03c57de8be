# Sourced by the Wayland tests: a private headless KWin session (its own
# D-Bus session bus, D-Bus-activated portals, runtime, config and data
# folders) that desktop.sh's clean-up stops with everything else.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
unset DISPLAY QT_QPA_PLATFORM
# Qt's Wayland decoration plugin, loaded with the first window and unloaded
# at the exit, leaves an allocation LeakSanitizer can only report as of an
# unknown module; the sanitizer build's tests go without it.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export QT_WAYLAND_DISABLE_WINDOWDECORATION=1
fi

# Starts kwin_wayland --virtual on 1280x800 and exports what its clients need.
wl_start_kwin() {
  local base=$e2e_tmp/kwin
  mkdir -p -m 700 "$base/run"
  mkdir -p "$base/config" "$base/cache" "$base/share" "$base/home" "$base/bin"
  export HOME=$base/home XDG_RUNTIME_DIR=$base/run XDG_CONFIG_HOME=$base/config XDG_CACHE_HOME=$base/cache
  export XDG_DATA_HOME=$base/share XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland
  dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$base/bus.address" 4>"$base/bus.pid" || return 1
  # The bus goes last: the portals it started end with it.
  e2e_pids=("$(cat "$base/bus.pid")" "${e2e_pids[@]}")
  DBUS_SESSION_BUS_ADDRESS=$(cat "$base/bus.address")
  export DBUS_SESSION_BUS_ADDRESS
  # A copy: the installed binary's file capability is more than a container
  # may grant. KWin's own platform plugin wants the name kept.
  cp /usr/bin/kwin_wayland "$base/bin/kwin_wayland"
  # Trust every client with fake input: the tests' keyboard.
  KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$base/bin/kwin_wayland" --virtual --no-lockscreen --socket wl-e2e \
    --width 1280 --height 800 >"$e2e_tmp/kwin.log" 2>&1 &
  e2e_pids+=($!)
  local i
  for i in $(seq 200); do
    [ -S "$XDG_RUNTIME_DIR/wl-e2e" ] && qdbus6 org.kde.KWin /KWin >/dev/null 2>&1 && break
    sleep 0.05
  done
  [ -S "$XDG_RUNTIME_DIR/wl-e2e" ] || { echo "kwin_wayland did not start" >&2; cat "$e2e_tmp/kwin.log" >&2; return 1; }
  export WAYLAND_DISPLAY=wl-e2e
  dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR XDG_CONFIG_HOME \
    XDG_CACHE_HOME XDG_DATA_HOME HOME QT_QPA_PLATFORM=wayland
}

# The document portal, started by the others, mounts a FUSE file system in
# the runtime folder and leaves it when the bus goes; its own process
# may still be ending.
e2e_teardown() {
  local doc=${XDG_RUNTIME_DIR:-}/doc i
  [ -n "${XDG_RUNTIME_DIR:-}" ] || return 0
  for i in $(seq 20); do
    mountpoint -q "$doc" || return 0
    sleep 0.1
  done
  fusermount3 -u -z "$doc" 2>/dev/null || fusermount -u -z "$doc" 2>/dev/null || umount -l "$doc" 2>/dev/null
}

qdbus6() { /usr/lib/qt6/bin/qdbus "$@"; }

# Runs a KWin script ($1, JavaScript) and prints what it print()ed.
wl_kwin_script() {
  local file=$e2e_tmp/script-$RANDOM.js marker=done-$RANDOM id
  printf '%s\nprint("%s");\n' "$1" "$marker" >"$file"
  id=$(qdbus6 org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript "$file" "e2e$RANDOM") || return 1
  qdbus6 org.kde.KWin "/$id" org.kde.kwin.Script.run >/dev/null
  local i
  for i in $(seq 40); do
    grep -q "js: $marker" "$e2e_tmp/kwin.log" && break
    sleep 0.05
  done
  # Lines of this run only: those after the previous marker.
  awk -v m="js: $marker" '$0 == m { exit } /^js: done-/ { buf = ""; next }
    /^js: / { buf = buf substr($0, 5) "\n" } END { printf "%s", buf }' "$e2e_tmp/kwin.log"
}

# The captions of the windows KWin manages, one per line, the active one
# marked with a star.
wl_windows() {
  wl_kwin_script 'for (const c of workspace.clientList()) print((c == workspace.activeClient ? "*" : "") + c.caption);'
}

# Starts headless sway on 1280x800 (as nobody: sway refuses to run as root)
# with our own runtime folder and session bus beside it, and exports what
# its clients need. No portal backend serves sway here, as with
# xdg-desktop-portal-wlr: there is no GlobalShortcuts.
wl_start_sway() {
  local base=$e2e_tmp/sway
  mkdir -p -m 700 "$base/sway-run" "$base/run"
  mkdir -p "$base/config" "$base/home"
  chown 65534:65534 "$base/sway-run"
  # nobody must pass through to its own folder, and read the configuration.
  chmod 711 "$e2e_tmp" "$base"
  printf 'output * resolution 1280x800 bg #204060 solid_color\n%s\n' "${WL_SWAY_CONFIG:-}" >"$base/sway.conf"
  chmod 644 "$base/sway.conf"
  setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin HOME="$base/sway-run" \
    XDG_RUNTIME_DIR="$base/sway-run" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$base/sway.conf" >"$e2e_tmp/sway.log" 2>&1 &
  e2e_pids+=($!)
  local i socket=""
  for i in $(seq 100); do
    socket=$(find "$base/sway-run" -maxdepth 1 -name 'wayland-*' -type s 2>/dev/null | head -n 1)
    [ -n "$socket" ] && break
    sleep 0.05
  done
  [ -n "$socket" ] || { echo "sway did not start" >&2; cat "$e2e_tmp/sway.log" >&2; return 1; }
  export WAYLAND_DISPLAY=$socket
  SWAYSOCK=$(find "$base/sway-run" -maxdepth 1 -name 'sway-ipc.*' -type s | head -n 1)
  export SWAYSOCK HOME=$base/home XDG_RUNTIME_DIR=$base/run XDG_CONFIG_HOME=$base/config
  export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
  dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$base/bus.address" 4>"$base/bus.pid" || return 1
  e2e_pids=("$(cat "$base/bus.pid")" "${e2e_pids[@]}")
  DBUS_SESSION_BUS_ADDRESS=$(cat "$base/bus.address")
  export DBUS_SESSION_BUS_ADDRESS
  dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR HOME
}

# The name of the focused window in sway, "" for none.
wl_sway_focused() {
  swaymsg -t get_tree 2>/dev/null | /usr/bin/python3 -c '
import json, sys
def walk(node):
    if node.get("focused"):
        return node.get("name") or ""
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found = walk(child)
        if found is not None:
            return found
    return None
print(walk(json.load(sys.stdin)) or "")' 2>/dev/null
}
