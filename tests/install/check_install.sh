#!/usr/bin/env bash
# Installs the build into a scratch prefix, as a user's `cmake --install`
# would, and checks what a desktop, `man` and the window's help will look for
# there.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail

build=$1 source=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Width and height from a PNG's IHDR chunk (bytes 16-23, big-endian).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }

# The place a help link names exists: its page, and its entry (<a name>) in it.
check_link() {
  local html=$1 from=$2 link=$3
  local file=${link%%#*} anchor=
  [ "$file" != "$link" ] && anchor=${link#*#}
  [ -n "$file" ] || file=$from
  if [ ! -f "$html/$file" ]; then fail "$from links to $link: no page $file"; return; fi
  if [ -n "$anchor" ] && ! grep -qF "name=\"$anchor\"" "$html/$file"; then
    fail "$from links to $link: no entry '$anchor' in $file"
  fi
}

# The help pages: installed as shipped, every link between them leads
# somewhere, and every entry the window's F1 opens exists.
check_help() {
  local html=$1
  [ -f "$html/index.html" ] || { fail "no help contents page $html/index.html"; return; }
  local shipped
  for shipped in "$source"/ui/help/*; do
    cmp -s "$shipped" "$html/$(basename "$shipped")" ||
      fail "help page $(basename "$shipped") not installed as shipped"
  done
  local page link
  for page in "$html"/*.html; do
    while read -r link; do
      case $link in http:*|https:*|mailto:*) continue ;; esac
      check_link "$html" "$(basename "$page")" "$link"
    done < <(grep -oE 'href="[^"]+"' "$page" | sed 's/^href="//; s/"$//')
  done
  local topics
  topics=$(grep -ohE '"[a-z]+\.html(#[a-z]+)?"' "$source"/ui/*.cpp | tr -d '"' | sort -u)
  [ "$(echo "$topics" | wc -l)" -ge 15 ] || fail "fewer help entries than fields in ui/*.cpp"
  for link in $topics; do check_link "$html" "the window" "$link"; done
}

check_tree() {
  local root=$1 prefix=$2
  local data=$root$prefix/share
  [ -x "$root$prefix/bin/driftwise" ] || fail "$prefix/bin/driftwise is not an installed program"
  [ -f "$data/icons/hicolor/scalable/apps/driftwise.svg" ] || fail "no scalable icon"
  for size in 16 22 24 32 48 64 128 256; do
    local png=$data/icons/hicolor/${size}x${size}/apps/driftwise.png
    if [ ! -f "$png" ]; then fail "no ${size}x${size} icon"; continue; fi
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
    [ "$(png_size "$png")" = "${size}x${size}" ] || fail "$png is $(png_size "$png"), not ${size}x${size}"
  done
  for f in freqini.txt three-populations.txt; do
    cmp -s "$source/examples/$f" "$data/driftwise/examples/$f" || fail "example $f not installed as shipped"
  done
  check_help "$data/doc/driftwise/html"
  local page=$data/man/man1/driftwise.1.gz
  if [ ! -f "$page" ]; then fail "no manual page"; return; fi
  # The page names the examples' folder of this very installation.
  zcat "$page" | grep -qF "$prefix/share/driftwise/examples" ||
    fail "the manual page does not name $prefix/share/driftwise/examples"
}

# 1. A plain install into a prefix.
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log" >&2; fail "cmake --install failed"; exit 1; }
check_tree "" "$prefix"
program=$prefix/bin/driftwise

# 2. A staged install, as the Debian package is made: everything under DESTDIR.
DESTDIR=$scratch/stage cmake --install "$build" --prefix /usr >"$scratch/stage.log" 2>&1 ||
  fail "staged install failed"
check_tree "$scratch/stage" /usr

# The menu entry: valid, in Science and Biology, the window's caption as comment.
entry=$prefix/share/applications/driftwise.desktop
if [ -f "$entry" ]; then
  report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
  [ -z "$report" ] || fail "desktop-file-validate says: $report"
  caption=$(sed -n 's/.*setWindowTitle("\(.*\)");.*/\1/p' "$source/ui/mainwindow.cpp" | head -n 1)
  [ -n "$caption" ] || fail "no window caption found in ui/mainwindow.cpp"
  for line in "Comment=$caption" "Exec=driftwise" "Icon=driftwise" "Terminal=false" \
              "Categories=Science;Biology;" "Type=Application"; do
    grep -qxF "$line" "$entry" || fail "the desktop entry lacks '$line'"
  done
else
  fail "no desktop entry"
fi

# The manual page renders without a warning, and covers the command line as
# the program itself describes it: every sub-command and every long option.
page=$prefix/share/man/man1/driftwise.1.gz
if [ -f "$page" ]; then
  MANWIDTH=80 man --warnings=w -l "$page" >"$scratch/man.txt" 2>"$scratch/man.err" ||
    fail "man -l failed"
  [ ! -s "$scratch/man.err" ] || fail "man -l warns: $(cat "$scratch/man.err")"
  zcat "$page" | groff -man -ww -z 2>"$scratch/groff.err"
  [ ! -s "$scratch/groff.err" ] || fail "groff warns: $(cat "$scratch/groff.err")"
  grep -q "Driftwise $version" "$scratch/man.txt" || fail "the manual page is not of version $version"
  commands=$("$program" --help | awk '/^Subcommands:/{on=1; next} on && NF {print $1}')
  [ -n "$commands" ] || fail "driftwise --help lists no sub-command"
  for command in $commands; do
    grep -q "^THE $(echo "$command" | tr a-z A-Z) COMMAND" "$scratch/man.txt" ||
      fail "the manual page has no section for '$command'"
    for option in $("$program" "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
      grep -qE -- "$option([^a-z-]|\$)" "$scratch/man.txt" ||
        fail "the manual page does not describe $command $option"
    done
  done
  for status in 0 1 2 64; do
    grep -qE "^       $status +[A-Z]" "$scratch/man.txt" || fail "exit status $status not described"
  done
fi

# The installed program runs the shipped example from anywhere.
work=$scratch/work
mkdir "$work" && cp "$prefix/share/driftwise/examples/three-populations.txt" "$work/"
summary=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY "$program" run --seed 1 -P 3 -N 20 \
            -T 10 -I 20 -n 10 -A 3 -i three-populations.txt -o out.txt)
[ "$(echo "$summary" | head -n 1)" = "Finished : 20 simulations" ] ||
  fail "the installed program's run printed: $summary"
[ "$(head -c 14 "$work/out.txt" 2>/dev/null)" = "Output file : " ] || fail "no result file written"

if [ "$failures" -ne 0 ]; then
  echo "$failures install check(s) failed" >&2
  exit 1
fi
echo "install tree checked under $prefix and a staged /usr"
