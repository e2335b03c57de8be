#!/usr/bin/env bash
# The .deb on a clean system: a minimal Debian 12 root made with debootstrap,
# the two packages installed there with apt (Recommends included, as apt
# does by default), then the installed program checked: a reading on the
# command line, its tray icon and a look-up from FeatherPad on a private X
# desktop outside the root, the autostart entry.
#   clean-root-test.sh DIR    # DIR holds kotobane_*.deb and kotobane-cedict_*.deb
# Needs root. The mirror is the first Debian one of this machine's own apt
# sources, read at run time. Exits 77 (skipped) when not run as root.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
debs=$(cd "${1:?usage: clean-root-test.sh DIR}" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "clean-root: skipped (needs root for debootstrap and chroot)"
  exit 77
fi
. "$here/../e2e/desktop.sh"

# The URI of the first source that serves bookworm itself (not -security or
# -updates), from the deb822 files or from the one-line format.
debian_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
         { uri = ""; deb = 0; suite = 0
           for (i = 1; i <= NF; i++) {
             if ($i ~ /^URIs:/) { split($i, w, /[ \t]+/); uri = w[2] }
             if ($i ~ /^Types:/ && $i ~ /[ \t]deb([ \t]|$)/) deb = 1
             if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) suite = 1
           }
           if (uri != "" && deb && suite) { print uri; exit } }' "$f"
  done
  if [ -f /etc/apt/sources.list ]; then
    sed -e 's/\[[^]]*\]//' /etc/apt/sources.list | awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
  fi
}
mirror=$(debian_mirror | head -n 1)
if [ -z "$mirror" ]; then
  echo "clean-root: no Debian bookworm source in this machine's apt sources" >&2
  exit 1
fi

root=$(mktemp -d /var/tmp/kotobane-root.XXXXXX)
mounts=()
clean_root() {
  e2e_cleanup
  # Whatever still runs inside the root was started by this test.
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null
  done
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"
  done
  # Never remove a tree that still has the machine's /dev or X socket in it.
  if [ -z "$(findmnt -rn -o TARGET | grep -F "$root")" ]; then
    rm -rf --one-file-system "$root"
  else
    echo "clean-root: $root still has mounts; left in place" >&2
  fi
}
trap clean_root EXIT
bind() { mkdir -p "$root$2" && mount "${@:3}" "$1" "$root$2" && mounts+=("$root$2"); }
root_env=(env -i LANG=C.UTF-8 HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin)
in_root() { chroot "$root" "${root_env[@]}" "$@"; }
now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }

start=$(now)
echo "clean-root: debootstrap --variant=minbase bookworm from $mirror"
if ! debootstrap --variant=minbase bookworm "$root" "$mirror" >"$e2e_tmp/debootstrap.log" 2>&1; then
  tail -n 20 "$e2e_tmp/debootstrap.log" >&2
  exit 1
fi
echo "clean-root: debootstrap took $(seconds "$start") s, $(du -sh --one-file-system "$root" | cut -f1)"

bind proc /proc -t proc
bind /dev /dev --bind
bind /dev/pts /dev/pts --bind
# A throwaway root: dpkg need not sync every file it unpacks.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
mkdir -p "$root/tmp/debs"
cp "$debs"/kotobane_*.deb "$debs"/kotobane-cedict_*.deb "$root/tmp/debs/"
for deb in "$root"/tmp/debs/*.deb; do
  echo "clean-root: $(basename "$deb"): $(du -k "$deb" | cut -f1) kB," \
    "installed $(dpkg-deb -f "$deb" Installed-Size) kB"
done
install_start=$(now)
if ! in_root sh -c 'cd /tmp/debs && DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
      ./kotobane_*.deb ./kotobane-cedict_*.deb' >"$e2e_tmp/install.log" 2>&1; then
  tail -n 30 "$e2e_tmp/install.log" >&2
  exit 1
fi
echo "clean-root: apt-get install took $(seconds "$install_start") s:" \
  "$(grep -m 1 'newly installed' "$e2e_tmp/install.log")"
echo "clean-root: $(grep -m 1 '^Need to get' "$e2e_tmp/install.log")" \
  "$(grep -m 1 '^After this operation' "$e2e_tmp/install.log")"
check "kotobane-cedict installed" "install ok installed" "$(in_root dpkg-query -W -f='${Status}' kotobane-cedict)"

checks_start=$(now)
check "a mainland word reading" "长大 (zhǎng dà)" "$(in_root kotobane --read --ime E0010804 长大 2>&1)"
check "a Japanese reading" "漢字の読み方 (かんじのよみかた)" "$(in_root kotobane --read 漢字の読み方 2>&1)"
check "every back-end listed" "E0010411 E0010804 E0010404 E0010412" \
  "$(in_root kotobane --list-imes 2>&1 | cut -f1 | grep '^E0' | tr '\n' ' ' | sed 's/ $//')"
check "the Japanese voice" 1 "$(in_root kotobane --list-voices 2>&1 | grep -c '^Japanese	411$')"

if in_root kotobane --help 2>&1 | grep -q -- --autostart; then
  in_root env XDG_CONFIG_HOME=/root/.config kotobane --autostart on >/dev/null 2>&1
  entry=$root/root/.config/autostart/io.github.kotobane.Kotobane.desktop
  check "autostart entry accepted by desktop-file-validate" "" "$(desktop-file-validate "$entry" 2>&1)"
  check "the entry starts the installed program" "Exec=/usr/bin/kotobane" "$(grep '^Exec=' "$entry" 2>&1)"
else
  echo "clean-root: autostart check skipped: kotobane --help has no --autostart"
fi

# The desktop runs outside the root; the program inside it reaches the X
# server through its socket.
e2e_start_desktop || exit 1
bind /tmp/.X11-unix /tmp/.X11-unix --bind
mkdir -m 700 -p "$root/tmp/run"
e2e_quiet_profile "$root/tmp/profile"
e2e_open_editor '漢字の読み方'
# chroot and env exec the program: $! is its process id.
chroot "$root" "${root_env[@]}" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR=/tmp/run kotobane --profile-dir /tmp/profile \
  >"$e2e_tmp/kotobane.log" 2>&1 &
kotobane=$!
e2e_pids+=("$kotobane")
e2e_wait_tray "$kotobane"
check "tray icon" 1 "$([ -n "$tray" ] && echo 1)"
# An icon that the SVG plugins could not draw is one flat colour.
colours=0
[ -n "$tray" ] && colours=$(import -window "$tray" png:- 2>/dev/null | identify -format '%k' - 2>/dev/null)
check "the tray icon is drawn" 1 "$(awk -v n="$colours" 'BEGIN { print (n > 4) ? 1 : 0 }')"
xdotool windowactivate --sync "$editor" key ctrl+a
sleep 0.3
xdotool key ctrl+F12
popup=$(e2e_wait_window '^IME reading$')
check "the popup appears" 1 "$([ -n "$popup" ] && echo 1)"
for i in $(seq 30); do [ -s "$root/tmp/profile/Kotobane.txt" ] && break; sleep 0.1; done
check "the look-up in the history" "漢字の読み方	かんじのよみかた" \
  "$(iconv -f UTF-16LE -t UTF-8 "$root/tmp/profile/Kotobane.txt" 2>/dev/null | cut -f1,2)"
check "nothing on standard error" "" "$(cat "$e2e_tmp/kotobane.log")"
kill -TERM "$kotobane"
e2e_wait_exit "$kotobane"
check "exit status" 0 $?
echo "clean-root: the checks took $(seconds "$checks_start") s; $(seconds "$start") s in all"
finish "clean-root"
