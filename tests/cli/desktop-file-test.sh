#!/usr/bin/env bash
# The menu entry: valid for desktop environments, named, like its icon, by
# the application id, and every command it offers is one the program
# understands.
#   desktop-file-test.sh KOTOBANE DESKTOP_FILE
set -u
kotobane=$1
file=$2
failed=0

desktop-file-validate "$file" || { echo "FAIL desktop-file-validate"; failed=1; }
id=$(basename "$file" .desktop)
[ "$id" = io.github.kotobane.Kotobane ] || { echo "FAIL file name $id"; failed=1; }
grep -qx "Icon=$id" "$file" || { echo "FAIL icon: $(grep '^Icon=' "$file")"; failed=1; }

run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
chmod 700 "$run"
actions=0
while IFS= read -r exec; do
  args=${exec#Exec=kotobane}
  [ -z "$args" ] && continue
  actions=$((actions + 1))
  # With no running copy a known control option fails with 1 and says so;
  # an option the program does not know would fail with 2.
  # shellcheck disable=SC2086
  XDG_RUNTIME_DIR=$run timeout 10 "$kotobane" $args >/dev/null 2>"$run/err"
  status=$?
  if [ $status -ne 1 ] || ! grep -q 'not running' "$run/err"; then
    echo "FAIL action '$args': status $status: $(cat "$run/err")"
    failed=1
  fi
done < <(grep '^Exec=' "$file")
[ "$actions" -eq 4 ] || { echo "FAIL expected 4 actions, found $actions"; failed=1; }

echo "desktop file: $actions actions, $([ $failed -eq 0 ] && echo ok || echo failed)"
[ "$failed" -eq 0 ]
