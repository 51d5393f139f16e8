#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what it holds:
# both programs, the desktop entry, the metainfo, the icons, the man pages,
# and the dependencies on Qt 6 widgets and the CJK fonts.
#
#   deb_test.sh <build folder>
# Needs cpack, dpkg-deb and dpkg-shlibdeps (dpkg-dev); exits 77 (skipped)
# without them.
set -euo pipefail
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/kovarim_1.00_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no kovarim_1.00_<arch>.deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
id=io.github.kovarim.Kovarim
for file in usr/bin/kovarim usr/bin/kovarim-cli \
        usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
        usr/share/icons/hicolor/scalable/apps/$id.svg \
        usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png \
        usr/share/man/man1/kovarim.1.gz usr/share/man/man1/kovarim-cli.1.gz \
        usr/share/doc/kovarim/copyright; do
    grep -qx "\./$file" <<<"$contents" || fail "the package lacks $file"
done
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[ "$maintainer" = "Kovarim maintainers <maintainers@kovarim.example.org>" ] ||
    fail "the package's maintainer is $maintainer"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/kovarim/copyright | grep -q "MIT License" ||
    fail "the copyright file is not the MIT licence"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 fonts-noto-cjk; do
    grep -q "$package" <<<"$depends" || fail "Depends lacks $package: $depends"
done
echo "$(basename "$deb"): programs, desktop entry, metainfo, icons, man pages; Depends: $depends"
