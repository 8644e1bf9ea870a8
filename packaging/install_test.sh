#!/usr/bin/env bash
# Installs the build into a temporary folder and checks what a desktop needs from it: the files
# in their places, the menu entries and metainfo passing their validators, the manual pages
# rendering without warnings, and the installed programs running from there (their versions,
# and the Jet reader found relative to them, never in the build tree).
# Arguments: BUILD_DIR BINDIR LIBEXECDIR DATADIR SHAREDIR MANDIR VERSION mime|nomime TESTDATA
set -uo pipefail
build=$1 bindir=$2 libexecdir=$3 datadir=$4 sharedir=$5 mandir=$6 version=$7 mime=$8 testdata=$9

for tool in desktop-file-validate appstreamcli man; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/setup installs it)"
    exit 77
  fi
done

root=$(mktemp -d /tmp/tavorin-install.XXXXXX)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$root/prefix" >"$root/install.log" 2>&1; then
  cat "$root/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
prefix=$root/prefix

expected=(
  "$bindir/tavorin" "$bindir/vespen" "$libexecdir/tavorin-jetread"
  "$datadir/Help/manual.html" "$datadir/HELP/bgmanual.html"
  "$mandir/man1/tavorin.1" "$mandir/man1/vespen.1"
)
for app in org.tavorin.Tavorin org.tavorin.Vespen; do
  expected+=("$sharedir/applications/$app.desktop" "$sharedir/metainfo/$app.metainfo.xml"
             "$sharedir/icons/hicolor/scalable/apps/$app.svg")
  for size in 16 22 24 32 48 64 128 256; do
    expected+=("$sharedir/icons/hicolor/${size}x$size/apps/$app.png")
  done
done
[ "$mime" = mime ] && expected+=("$sharedir/mime/packages/tavorin-mdb.xml")
for file in "${expected[@]}"; do
  [ -s "$prefix/$file" ] || fail "not installed: $file"
done
for program in "$bindir/tavorin" "$bindir/vespen" "$libexecdir/tavorin-jetread"; do
  [ -x "$prefix/$program" ] || fail "not executable: $program"
done
if [ "$mime" = nomime ]; then
  [ ! -e "$prefix/$sharedir/mime/packages/tavorin-mdb.xml" ] ||
    fail "the MIME type of .mdb files is installed although the system has one"
fi

for entry in "$prefix/$sharedir"/applications/*.desktop; do
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate $entry: $out"
  grep -qx 'MimeType=.*application/x-msaccess;.*' "$entry" || fail "$entry opens no .mdb files"
done
for info in "$prefix/$sharedir"/metainfo/*.xml; do
  out=$(appstreamcli validate --no-net "$info" 2>&1) || fail "appstreamcli validate $info: $out"
  grep -q "<release version=\"$version\"" "$info" || fail "$info does not name version $version"
done
for page in tavorin vespen; do
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/$mandir/man1/$page.1" 2>"$root/man.err")
  [ -s "$root/man.err" ] && fail "man -l $page.1 warns: $(cat "$root/man.err")"
  grep -q "^NAME" <<<"$rendered" || fail "man -l $page.1 renders no NAME section"
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$("$prefix/$bindir/$page" --help 2>/dev/null)" | sort -u); do
    grep -q -- "$option" <<<"$rendered" || fail "$page.1 does not describe $option"
  done
done

# The programs say their one version.
[ "$("$prefix/$bindir/tavorin" --version)" = "Tavorin $version" ] || fail "tavorin --version"
[ "$("$prefix/$bindir/vespen" --version)" = "Vespen $version" ] || fail "vespen --version"

# A genuine Jet file is read through the installed reader: the programs run outside the build
# tree, where the build's own reader does not serve them.
jet=$testdata/jet/test2V1997.mdb
if [ -f "$jet" ]; then
  cp "$jet" "$root/genuine.mdb"
  env -u TAVORIN_JETREAD "$prefix/$bindir/tavorin" --print "$root/genuine.mdb" --pdf "$root/out.pdf" ||
    fail "installed tavorin --print of a genuine Jet file"
  [ -s "$root/out.pdf" ] || fail "installed tavorin --print wrote no PDF"
  env -u TAVORIN_JETREAD "$prefix/$bindir/vespen" --db "$root/genuine.mdb" --out "$root/out.bas" ||
    fail "installed vespen --db of a genuine Jet file"
  [ -s "$root/out.bas" ] || fail "installed vespen wrote no module"
  # Moved elsewhere, the tree still finds its reader.
  mv "$prefix" "$root/moved"
  env -u TAVORIN_JETREAD "$root/moved/$bindir/vespen" --db "$root/genuine.mdb" --out "$root/moved.bas" ||
    fail "a moved install tree does not find its reader"
else
  echo "the reading checks of the installed programs skipped: no genuine Jet file at $jet"
fi

[ "$failures" -eq 0 ] && echo "install tree: all checks passed"
exit $((failures > 0))
