#!/usr/bin/env bash
# The control socket: a running copy short of file descriptors stays
# reachable, and a socket of another user neither receives the owner's
# commands nor hands it any.
#   instance-test.sh INSTANCE_PROBE
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/desktop.sh"
probe=$1
export DISPLAY=:instance$$
e2e_private_dirs
mkdir -m 1777 "$e2e_tmp/tmp"
export TMPDIR=$e2e_tmp/tmp

# Starts "$@ primary" in the background; sets $primary and $path.
start_primary() {
  local log=$1
  shift
  "$@" primary >"$log" 2>&1 &
  primary=$!
  e2e_pids+=("$primary")
  e2e_wait_line "$log" '^primary '
  path=$(sed -n 's/^primary //p' "$log")
}

# More connections than the copy has descriptors, held and then closed.
start_primary "$e2e_tmp/short.log" bash -c 'ulimit -n 64 && exec "$0" "$@"' "$probe"
e2e_check "the short copy listens" 1 "$([ -S "$path" ] && echo 1)"
"$probe" connect "$path" 100 1000 >/dev/null
"$probe" send after-flood
e2e_check "a message after the flood is taken" 0 $?
e2e_wait_line "$e2e_tmp/short.log" '^got after-flood$'
e2e_check "and arrives" 1 "$(grep -c '^got after-flood$' "$e2e_tmp/short.log")"
"$probe" send quit
e2e_wait_exit "$primary" 50
e2e_check "the copy ends when told" 0 $?

if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
  echo "skipped: other users (needs root and setpriv to act as a second user)"
  e2e_finish "instance-test" || exit 1
  # 77: ctest counts the run as skipped (SKIP_RETURN_CODE), so a run without
  # root does not pass for one that checked the other users.
  exit 77
fi
free_uids=()
for uid in $(seq 61200 61299); do
  getent passwd "$uid" >/dev/null || free_uids+=("$uid")
  [ ${#free_uids[@]} = 2 ] && break
done
owner=${free_uids[0]} squatter=${free_uids[1]}
chmod 711 "$e2e_tmp"
as_user() {  # uid: sets $as to the command prefix that runs as that user
  mkdir -p -m 700 "$e2e_tmp/run-$1" && chown "$1:$1" "$e2e_tmp/run-$1"
  as=(setpriv --reuid "$1" --regid "$1" --clear-groups env HOME=/ XDG_RUNTIME_DIR="$e2e_tmp/run-$1")
}
as_user "$squatter"
as_squatter=("${as[@]}")
as_user "$owner"
as_owner=("${as[@]}")

# Another user who can reach the socket (here root) is not listened to.
start_primary "$e2e_tmp/owner.log" "${as_owner[@]}" "$probe"
owner_path=$path
"$probe" connect "$path" 1 300 from-root >/dev/null
"${as_owner[@]}" "$probe" send quit
e2e_wait_exit "$primary" 50
e2e_check "the owner's copy ends when told" 0 $?
e2e_check "another user's message is dropped" 0 "$(grep -c '^got from-root$' "$e2e_tmp/owner.log")"

# A squatter takes the name the owner's socket had in /tmp before it starts.
old_path=$TMPDIR/$(basename "$("${as_owner[@]}" "$probe" path)")
"${as_squatter[@]}" "$probe" listen "$old_path" >"$e2e_tmp/squatter.log" 2>&1 &
squatter_pid=$!
e2e_pids+=("$squatter_pid")
e2e_wait_line "$e2e_tmp/squatter.log" '^listening'
start_primary "$e2e_tmp/owner2.log" "${as_owner[@]}" "$probe"
"${as_owner[@]}" "$probe" send for-the-owner
e2e_check "the owner's command is taken" 0 $?
e2e_wait_line "$e2e_tmp/owner2.log" '^got for-the-owner$'
e2e_check "the owner's copy gets it" 1 "$(grep -c '^got for-the-owner$' "$e2e_tmp/owner2.log")"
e2e_check "the squatter gets nothing" 0 "$(grep -c 'squatter got' "$e2e_tmp/squatter.log")"

"${as_owner[@]}" "$probe" send quit
e2e_wait_exit "$primary" 50
kill "$squatter_pid"

# A listener of another user in the owner's place is told nothing.
"$probe" listen "$owner_path" >"$e2e_tmp/root.log" 2>&1 &
e2e_pids+=($!)
e2e_wait_line "$e2e_tmp/root.log" '^listening'
"${as_owner[@]}" "$probe" send to-root
e2e_check "sending to another user's listener is refused" 1 $?
sleep 0.3
e2e_check "that listener gets nothing" 0 "$(grep -c 'squatter got' "$e2e_tmp/root.log")"

e2e_finish "instance-test"
