#!/usr/bin/env bash
# The Debian package as a user gets it: built from the build directory, unpacked into a
# scratch root, its metadata checked by the desktop's own validators and the whole package by
# lintian (where installed), and the unpacked program started offscreen with a scratch home.
# It must find its data beside its bin folder, give the
# user the default topics and settings in ~/.config/velmora, and write them back there when it
# is asked to end. Then `make install`'s installer under a scratch prefix, taking over the files
# of an installation that kept them beside the program.
#
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
scratch=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Polls a condition every 0.1 s for at most the given seconds.
wait_for() {
  local seconds=$1; shift
  local tries=$((seconds * 10))
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

# ---- the package ----
SECONDS=0
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$scratch"/out/velmora_*.deb)
[ -f "${debs[0]}" ] || fail "no velmora_*.deb"
deb=${debs[0]}
info=$(dpkg-deb -f "$deb" Package Maintainer Depends Description)
grep -q '^Maintainer: .*<.*@.*>' <<<"$info" || fail "no maintainer: $info"
# Names no made-up address: a configure setting or the local packager's.
! grep -q '\.invalid\b' <<<"$info" || fail "placeholder address: $info"
# Computed from the programs' shared libraries, plus the toolkit's translations.
for dependency in libqt6widgets6 libqt6webenginewidgets6 libcurl4 libc6 qt6-translations-l10n; do
  grep -q "^Depends:.*\b$dependency\b" <<<"$info" || fail "Depends lacks $dependency: $info"
done
grep -q '^Description: ..*' <<<"$info" || fail "no description"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
# The package's program leaves its updates to the package manager: its data folder says so.
[ -f "$root/usr/share/velmora/packaged" ] || fail "no packaged marker in /usr/share/velmora"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)
library=usr/lib/$multiarch/velmora/libtessel.so
doc=usr/share/doc/velmora
for path in usr/bin/velmora "$library" usr/share/velmora/sitelist.dat \
            usr/share/velmora/idxhelp.dat usr/share/velmora/TOPICS.DAT \
            usr/share/velmora/STARTUP.DAT usr/share/velmora/splash.png \
            usr/share/velmora/help-index.html usr/share/applications/velmora.desktop \
            usr/share/icons/hicolor/scalable/apps/velmora.svg "$doc/copyright" \
            usr/share/lintian/overrides/velmora; do
  [ -e "$root/$path" ] || fail "missing /$path"
done
# Manual pages in English and Japanese, compressed without a name or time stamp (flags and
# mtime of the gzip header all zero), so that every build packs the same bytes.
for page in {usr/share/man,usr/share/man/ja}/man1/{velmora,velmora-search}.1.gz "$doc/changelog.Debian.gz"; do
  [ -f "$root/$page" ] || fail "missing /$page"
  [ "$(od -An -tx1 -j3 -N5 "$root/$page" | tr -d ' ')" = 0000000000 ] || fail "/$page names its source"
  zcat "$root/$page" | iconv -f UTF-8 -t UTF-8 >/dev/null || fail "/$page is not UTF-8"
done
# velmora-search's shell completions where Debian's bash, zsh and fish read those of packages,
# each read by its shell where that is installed.
completions=(usr/share/bash-completion/completions/velmora-search:bash
             usr/share/zsh/vendor-completions/_velmora-search:zsh
             usr/share/fish/vendor_completions.d/velmora-search.fish:fish)
for entry in "${completions[@]}"; do
  file=${entry%:*} shell=${entry##*:}
  [ -f "$root/$file" ] || fail "missing /$file"
  if command -v "$shell" >/dev/null; then
    "$shell" -n "$root/$file" || fail "/$file does not read in $shell"
  fi
done
changelog=$(zcat "$root/$doc/changelog.Debian.gz")
[[ $changelog == "velmora ($(dpkg-deb -f "$deb" Version)) "* ]] ||
  fail "the changelog's first entry is not this version"
# The programs and the library ship stripped, without the compiler's version stamp.
for binary in usr/bin/velmora usr/bin/velmora-search "$library"; do
  file -b "$root/$binary" | grep -q ', stripped' || fail "/$binary is not stripped"
  [[ $(readelf -S "$root/$binary") != *" .comment "* ]] || fail "/$binary has a .comment section"
done
for text in "$doc/copyright" "$doc/changelog.Debian.gz" usr/share/applications/velmora.desktop \
            usr/share/metainfo/*.xml; do
  ! zgrep -q '\.invalid\b\|<id>invalid\.' "$root"/$text || fail "placeholder address in /$text"
done
for size in 16 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/velmora.png" ] || fail "no ${size}px icon"
done
# The build's own files never ship.
for stray in Current.htm release.dat update; do
  [ ! -e "$root/usr/share/velmora/$stray" ] || fail "/usr/share/velmora/$stray shipped"
done
cmp -s "$root/usr/share/velmora/STARTUP.DAT" "$source/data/STARTUP.DAT" ||
  fail "the shipped settings are not the delivered defaults"
desktop-file-validate "$root/usr/share/applications/velmora.desktop" || fail "desktop entry"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "${metainfo[0]}" >"$scratch/appstream.log" 2>&1 ||
  { cat "$scratch/appstream.log"; fail "metainfo"; }

# Debian's own checker, where it is installed: no error, no warning, and the hardening flags
# (only an information to lintian) on every binary.
if command -v lintian >/dev/null; then
  lintian --display-info --pedantic --fail-on none "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log"; fail "lintian did not run"; }
  ! grep -E '^[EW]: |hardening-' "$scratch/lintian.log" || fail "lintian"
else
  echo "lintian is not installed: the package was not checked by it"
fi

program="$root/usr/bin/velmora"
"$program" --version | grep -qx 'velmora [0-9][0-9.]*' || fail "--version"
"$program" --help | grep -q -- '--version' || fail "--help"
status=0
"$program" --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown option gave status $status"
# The console front end runs where no web engine is wanted: it must not load one.
console="$root/usr/bin/velmora-search"
[ -x "$console" ] || fail "no /usr/bin/velmora-search"
# Read whole: grep -q ending a pipe early makes its writer fail, and under pipefail that
# failure would pass a program that does load one.
needed=$(objdump -p "$console" | sed -n 's/^ *NEEDED *//p')
if grep -q 'WebEngine\|Gui\|Quick' <<<"$needed"; then
  fail "velmora-search loads $(grep -o 'libQt6[A-Za-z]*' <<<"$needed" | tr '\n' ' ')"
fi

# ---- the unpacked program in a scratch home ----
home="$scratch/home"
mkdir -p "$home"
shared="$root/usr/share/velmora"
( cd "$scratch" && exec env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" \
    QT_QPA_PLATFORM=offscreen \
    QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-background-networking --proxy-server=http://127.0.0.1:3" \
    "$program" ) >"$scratch/program.log" 2>&1 &
pid=$!
config="$home/.config/velmora"
seeded() { [ -f "$config/TOPICS.DAT" ] && [ -f "$config/STARTUP.DAT" ]; }
wait_for 60 seeded || { cat "$scratch/program.log"; fail "no seeded TOPICS.DAT and STARTUP.DAT"; }
cmp -s "$config/TOPICS.DAT" "$shared/TOPICS.DAT" || fail "seeded topics differ"
cmp -s "$config/STARTUP.DAT" "$shared/STARTUP.DAT" || fail "seeded settings differ"
[ -d "$home/.local/share/velmora" ] || fail "no ~/.local/share/velmora"
in_data_dir() { [ "$(readlink "/proc/$pid/cwd")" = "$shared" ]; }
wait_for 60 in_data_dir || fail "the program's current directory is not $shared"
inode() { stat -c %i "$1"; }
topics_inode=$(inode "$config/TOPICS.DAT")
settings_inode=$(inode "$config/STARTUP.DAT")

kill -TERM "$pid"
ended() { ! kill -0 "$pid" 2>/dev/null; }
wait_for 60 ended || { cat "$scratch/program.log"; fail "the program did not end"; }
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || { cat "$scratch/program.log"; fail "the program ended with $status"; }
# Written anew (a new file renamed over the old one), with the same content.
[ "$(inode "$config/TOPICS.DAT")" != "$topics_inode" ] || fail "TOPICS.DAT not written at the end"
[ "$(inode "$config/STARTUP.DAT")" != "$settings_inode" ] || fail "STARTUP.DAT not written at the end"
cmp -s "$config/TOPICS.DAT" "$shared/TOPICS.DAT" || fail "written topics differ"
cmp -s "$config/STARTUP.DAT" "$shared/STARTUP.DAT" || fail "written settings differ"

# ---- make install's installer under a scratch prefix ----
home="$scratch/home2"
old="$home/.local/lib/velmora"
mkdir -p "$old/update"
printf 'my topics' >"$old/TOPICS.DAT"
printf 'my settings' >"$old/STARTUP.DAT"
printf 'my record' >"$old/release.dat"
prefix="$scratch/my prefix"
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" \
  "$source/tools/install-user" "$build" "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "install-user"; }
[ -x "$prefix/bin/velmora" ] && [ -f "$prefix/lib/$multiarch/velmora/libtessel.so" ] &&
  [ -f "$prefix/share/velmora/sitelist.dat" ] || fail "install-user left out files"
[ "$(cat "$home/.config/velmora/TOPICS.DAT")" = "my topics" ] || fail "topics not handed over"
[ "$(cat "$home/.config/velmora/STARTUP.DAT")" = "my settings" ] || fail "settings not handed over"
[ "$(cat "$home/.local/share/velmora/release.dat")" = "my record" ] || fail "record not handed over"
[ -d "$home/.local/share/velmora/update" ] || fail "update folder not handed over"
# The prefix has a blank: Exec quotes the program's full path.
grep -qx "Exec=\"$prefix/bin/velmora\"" "$prefix/share/applications/velmora.desktop" ||
  fail "menu entry: $(grep Exec "$prefix/share/applications/velmora.desktop")"
grep -qx "Icon=$prefix/share/icons/hicolor/256x256/apps/velmora.png" \
  "$prefix/share/applications/velmora.desktop" || fail "menu entry's icon"
desktop-file-validate "$prefix/share/applications/velmora.desktop" || fail "installed desktop entry"
"$prefix/bin/velmora" --version >/dev/null || fail "the installed program does not start"
# Outside /usr, zsh's completion goes to zsh's own folder.
[ -f "$prefix/share/zsh/site-functions/_velmora-search" ] &&
  [ -f "$prefix/share/bash-completion/completions/velmora-search" ] || fail "completions"
# The bash completion offers the installed program's own topic names.
topic=$(env -u XDG_CONFIG_HOME HOME="$scratch/home3" "$prefix/bin/velmora-search" --list-topics \
  --format tsv | head -1 | cut -f2)
offered=$(env -u XDG_CONFIG_HOME HOME="$scratch/home3" bash -c '
  source "$1/share/bash-completion/completions/velmora-search"
  COMP_WORDS=(velmora-search -t ""); COMP_CWORD=2
  _velmora_search "$1/bin/velmora-search" "" -t
  printf "%s\n" "${COMPREPLY[@]}"' - "$prefix")
[ -n "$topic" ] && grep -qxF "$(printf '%q' "$topic")" <<<"$offered" ||
  fail "the bash completion does not offer the topic '$topic': $offered"
echo "package test passed in ${SECONDS}s"
