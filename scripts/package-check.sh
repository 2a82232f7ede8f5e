#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks it as a user would meet it:
# lintian, the desktop entries and the AppStream metadata; then unpacks it into a scratch root
# (dpkg -x) and, from that installed tree only, runs vrk, a round trip of a file, and both
# programs offscreen on a demonstration installation until they have set the key up and closed.
#   scripts/package-check.sh BUILD-FOLDER      (configured with -DCMAKE_INSTALL_PREFIX=/usr)
set -euo pipefail
scripts=$(realpath "$(dirname "$0")")
build=$(realpath "$1")
say() { printf '\n== %s\n' "$*"; }

say "Debian package"
(cd "$build" && rm -f ./*.deb && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/*.deb)
echo "   $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends | sed 's/^/   Depends: /'
# lintian says that it runs as root, as CI does; that line is not about the package.
lintian --fail-on error,warning "$deb" > "$build/lintian.txt" 2>&1 && status=0 || status=$?
grep -v 'running with root privileges' "$build/lintian.txt" | sed 's/^/   /' || true
[ "$status" -eq 0 ] || { echo "   lintian: FAILED"; exit 1; }
echo "   lintian: no error, no warning"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
bin="$usr/bin"

say "Desktop entries and metadata, as installed"
desktop-file-validate "$usr"/share/applications/*.desktop
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml | grep -v '^\S*\.metainfo\.xml$' | grep . | sed 's/^/   /'
for page in vrk VrkWinAdmin VrkWin; do
  warnings=$(zcat "$usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || { echo "$warnings" | sed "s/^/   $page.1: /"; exit 1; }
done
echo "   desktop-file-validate, appstreamcli validate, the manual pages (groff -ww): passed"

say "From the installed tree (no library beside the programs, no registration)"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_HOME="$scratch/data"
mkdir -p "$XDG_CONFIG_HOME"
[ ! -e "$bin/libVarkelSDK.so" ]
"$bin/vrk" --version | sed 's/^/   /'
"$bin/VrkWin" --version | sed 's/^/   /'
"$bin/VrkWinAdmin" --version | sed 's/^/   /'
mkdir "$scratch/files"
cd "$scratch/files"
head -c 200000 /dev/urandom > report.doc
cp report.doc original.doc
echo 918273645 | "$bin/vrk" encrypt --key-file - report.doc
if cmp -s report.doc original.doc; then echo "   vrk encrypt left the file as it was: FAILED"; exit 1; fi
"$bin/vrk" decrypt -q --key 918273645 report.doc -o back.doc
cmp back.doc original.doc
echo "   encrypted in place (key from standard input) and decrypted into a copy: equal"

say "Both programs offscreen on a demonstration installation"
demo="$scratch/demo"
"$scripts/demo-install.sh" "$bin" "$demo" >/dev/null
"$scripts/demo-launcher.sh" "$bin" "$demo" --prepare-only >/dev/null
# One application for the launcher's buttons; it is not started.
printf 'Editor:C:\\usr\\bin\\true\r\n' > "$demo/share/apps.dat"
export XDG_CONFIG_HOME="$demo/config"
"$scripts/headless-check.sh" "$demo/admin" "$bin/VrkWinAdmin"
"$scripts/headless-check.sh" "$demo/user" "$bin/VrkWin"

say "Both programs through the menu entries' start script, which makes their working folders"
# A first start: nothing in the working folder but network.dat (and the console's key list).
for role in console launcher; do
  mkdir -p "$XDG_DATA_HOME/varkel/$role"
  cp "$demo/user/network.dat" "$XDG_DATA_HOME/varkel/$role/"
done
cp "$demo/admin/Keys.dat" "$XDG_DATA_HOME/varkel/console/"
grep -q "^Exec=/usr/libexec/varkel/varkel-start console$" "$usr/share/applications/org.varkel.VrkWinAdmin.desktop"
grep -q "^Exec=/usr/libexec/varkel/varkel-start launcher$" "$usr/share/applications/org.varkel.VrkWin.desktop"
for role in console launcher; do
  work="$XDG_DATA_HOME/varkel/$role"
  "$scripts/headless-check.sh" "$work" "$usr/libexec/varkel/varkel-start" "$role"
  [ "$(stat -c %a "$work")" = 700 ]
done
test -f "$XDG_DATA_HOME/varkel/console/howto.txt"
test -f "$XDG_DATA_HOME/varkel/launcher/userhelp.txt"
echo "   varkel-start made both working folders owner-only and put the help texts there"
