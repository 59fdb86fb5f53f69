#!/usr/bin/env bash
# Builds the Debian package from this build, checks it with lintian and its
# control fields, unpacks it into a scratch folder (never the machine's /usr)
# and runs the installed program there.
set -euo pipefail
build=$1 source=$2 python=$3
scratch=$build/deb-check
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$build"
cpack -G DEB -B "$scratch" >"$scratch/cpack.log"
deb=$(ls "$scratch"/zantor_*_amd64.deb)
echo "package: $(basename "$deb")"

fail() { echo "FAIL: $*" >&2; exit 1; }

# lintian warns that it runs as root; its findings go to the log.
lintian --tag-display-limit 0 --fail-on error "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --tag-display-limit 0 --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zantor ] || fail "package name $(field Package)"
[ "$(field Section)" = utils ] || fail "section $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
depends=$(field Depends)
echo "Depends: $depends"
for need in fonts-wqy-microhei qt6-translations-l10n libqt6widgets6 libqt6webenginewidgets6 libsqlite3-0 libc6; do
  [[ ",$depends" == *[,\ ]$need[\ ,]* || ",$depends" == *[,\ ]$need ]] || fail "Depends lacks $need"
done
[[ "$(field Description)" == *加法机* ]] || fail "no Chinese description"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in bin/zantor bin/zantor-tape lib/zantor/zantor-search.so share/zantor/help.html \
  share/applications/zantor.desktop share/metainfo/io.github.zantor.Zantor.metainfo.xml \
  share/icons/hicolor/16x16/apps/zantor.png share/icons/hicolor/256x256/apps/zantor.png \
  share/doc/zantor/copyright; do
  [ -f "$root/usr/$f" ] || fail "the package lacks /usr/$f"
done
[ "$(printf '1234\n5\n' | "$root/usr/bin/zantor-tape" | tail -n 1 | cut -f 4)" = 12.39 ] ||
  fail "the installed zantor-tape does not add up"

PYTHONDONTWRITEBYTECODE=1 "$python" "$source/tests/e2e/installed_package.py" "$root/usr"
