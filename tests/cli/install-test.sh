#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: every file in its place, one
# version everywhere, the manual page and the completion covering every
# option, and the program, its menu entry and icons found from there as a
# desktop finds them.
#   install-test.sh CMAKE BUILD_DIR
set -u
cmake=$1
build=$2
. "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
id=io.github.kotobane.Kotobane
"$cmake" --install "$build" --prefix "$prefix" >"$work/log" 2>&1
status=$?
check "cmake --install" 0 $status
[ $status -eq 0 ] || cat "$work/log"

files=(
  bin/kotobane
  "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
  share/man/man1/kotobane.1.gz
  share/bash-completion/completions/kotobane
)
for size in 16 22 24 32 48 64 128 256; do
  png=share/icons/hicolor/${size}x$size/apps/$id.png
  files+=("$png")
  # A PNG's width and height: the big-endian words at bytes 16 and 20.
  check "$png size" "$size $size" "$(od -An -tu4 --endian=big -j16 -N8 "$prefix/$png" 2>/dev/null | xargs)"
done
for file in "${files[@]}"; do
  check "installed $file" 1 "$([ -s "$prefix/$file" ] && echo 1)"
done

kotobane=$prefix/bin/kotobane
man=$prefix/share/man/man1/kotobane.1.gz
completion=$prefix/share/bash-completion/completions/kotobane
version=$("$kotobane" --version)
check "--version" 1 "$(grep -qxE 'kotobane [0-9]+\.[0-9]+\.[0-9]+' <<<"$version" && echo 1)"
check "man page version" 1 "$(zgrep -q "^\.TH .*\"Kotobane ${version#kotobane }\"" "$man" && echo 1)"
check "metainfo release" 1 "$(grep -q "<release version=\"${version#kotobane }\"" \
  "$prefix/share/metainfo/$id.metainfo.xml" && echo 1)"
check "man -l warnings" "" "$(MANWIDTH=80 man -l "$man" 2>&1 >/dev/null)"
check "groff warnings" "" "$(zcat "$man" | groff -ww -z -man 2>&1)"
appstreamcli validate-tree --no-net "$prefix" >"$work/log" 2>&1
status=$?
check "appstreamcli validate-tree" 0 $status
[ $status -eq 0 ] || cat "$work/log"

page=$(MANWIDTH=80 man -l "$man" 2>/dev/null)
options=$("$kotobane" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
check "options in --help" 1 "$([ "$(wc -l <<<"$options")" -ge 15 ] && echo 1)"
for option in $options; do
  word="(^|[^a-z-])$option([^a-z-]|$)"
  check "man page $option" 1 "$(grep -qE -- "$word" <<<"$page" && echo 1)"
  check "completion $option" 1 "$(grep -qE -- "$word" "$completion" && echo 1)"
done

# The completion as bash runs it: the last of the words completed.
complete_words() {
  bash -c '. /usr/share/bash-completion/bash_completion && . "$1" && shift &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    _kotobane "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' completion "$completion" "$kotobane" "$@" | sort | xargs
}
check "complete --list" "--list-imes --list-voices" "$(complete_words --list)"
check "complete --ime" "$("$kotobane" --list-imes | cut -f1 | sort | xargs)" "$(complete_words --ime '')"
check "complete --autostart" "off on" "$(complete_words --autostart '')"

# Found through XDG_DATA_DIRS, as menus and icon themes look: the first
# folder with the desktop file, its icons, and its Exec on the PATH.
found=""
IFS=: read -ra dirs <<<"$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
for dir in "${dirs[@]}"; do
  [ -f "$dir/applications/$id.desktop" ] && found=$dir && break
done
check "desktop file found" "$prefix/share" "$found"
check "icons found" 9 "$(find "$found/icons/hicolor" -path "*/apps/$id.*" | wc -l)"
exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$found/applications/$id.desktop" | head -n 1)
check "Exec on the PATH" "$kotobane" "$(PATH=$prefix/bin:$PATH command -v "$exec")"

# Where the installed copy keeps its settings: a Kotobane.ini beside the
# binary makes it portable, otherwise XDG_CONFIG_HOME. The settings' input
# method shows which file was read.
mkdir -p "$work/config/kotobane"
printf '[Settings]\r\nkeylayout=E0010412\r\n' >"$work/config/kotobane/Kotobane.ini"
check "XDG profile" "韓國 (한국)" "$(XDG_CONFIG_HOME=$work/config "$kotobane" --read 韓國)"
printf '[Settings]\r\nkeylayout=E0010804\r\n' >"$prefix/bin/Kotobane.ini"
check "portable profile" "中国 (zhōng guó)" "$(XDG_CONFIG_HOME=$work/config "$kotobane" --read 中国)"

finish "install"
