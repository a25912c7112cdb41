#!/usr/bin/env bash
# Builds the Debian package kinbook_<version>_<arch>.deb with dpkg-deb:
#   bash tools/package.sh [out-dir]          (out-dir: the repository folder when not given)
# Steps: a Release build of the program alone (no tests) in build-package/ (KINBOOK_PACKAGE_BUILD
# names another folder), installed with DESTDIR into a staging root with the /usr layout, the
# copyright, changelog and manual page added as Debian wants them, DEBIAN/control written with the
# libraries' packages found by dpkg-shlibdeps, then dpkg-deb. Nothing is installed on the system
# except the build tools of tools/setup.sh. With KINBOOK_PACKAGE_PROGRAM=path/to/kinbook the program
# another build folder made (tools/test.sh builds its own with the flags of this one) is packaged
# instead, and nothing is compiled.
set -euo pipefail
umask 022
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here}")
build=$(realpath -m "${KINBOOK_PACKAGE_BUILD:-$here/build-package}")
"$here/tools/setup.sh" --packages-only

version=$(sed -n 's/^project(kinbook VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
arch=$(dpkg --print-architecture)
maintainer=${KINBOOK_MAINTAINER:-$(git -C "$here" log -1 --format='%an <%ae>' 2>/dev/null || true)}
maintainer=${maintainer:-"kinbook developers <kinbook@users.noreply.github.com>"}
# Dates and file times come from the last commit, so that the same sources give the same package.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)}

cd "$here"
if [ -n "${KINBOOK_PACKAGE_PROGRAM:-}" ]; then
  program=$(realpath "$KINBOOK_PACKAGE_PROGRAM")
  echo "== packaging $program (kinbook $version) in $build"
  cmake -S "$here" -B "$build" -G Ninja -DKINBOOK_PROGRAM="$program" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$build" -j"$(nproc)" --target kinbook_icons
else
  echo "== Release build of kinbook $version in $build"
  source "$here/tools/releaseflags.sh"
  cmake -S "$here" -B "$build" -G Ninja "${release_options[@]}" -DKINBOOK_TESTS=OFF -DKINBOOK_PROGRAM= \
        -DKINBOOK_SYSTEM_INSTALL=ON -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$build" -j"$(nproc)" --target kinbook kinbook_icons
fi

echo "== staging"
# The staging root sits where dpkg-shlibdeps expects a package's files: debian/<package>/.
pkg=$build/package
stage=$pkg/debian/kinbook
rm -rf "$pkg"
DESTDIR=$stage cmake --install "$build" >/dev/null
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/usr/bin/kinbook"
doc=$stage/usr/share/doc/kinbook
install -d "$doc"
sed "s|@MAINTAINER@|$maintainer|" "$here/packaging/copyright" > "$doc/copyright"
install -m 644 "$here/docs/sync.md" "$doc/sync.md"
{
  echo "kinbook ($version) unstable; urgency=medium"
  echo
  echo "  * Release $version, built from the kinbook sources."
  echo
  echo " -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n > "$doc/changelog.gz"
gzip -9nf "$stage/usr/share/man/man1/kinbook.1"

# dpkg-shlibdeps reads debian/control of a source package: a minimal one beside the staging root.
install -d "$stage/DEBIAN"
printf 'Source: kinbook\n\nPackage: kinbook\nArchitecture: any\n' > "$pkg/debian/control"
shlibs=$(cd "$pkg" && dpkg-shlibdeps -O debian/kinbook/usr/bin/kinbook | sed -n 's/^shlibs:Depends=//p')

cat > "$stage/DEBIAN/control" <<CONTROL
Package: kinbook
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $shlibs, qt6-translations-l10n, fonts-arphic-uming | fonts-noto-cjk
Suggests: syncthing
Section: misc
Priority: optional
Homepage: $(sed -n 's/^KINBOOK_HOMEPAGE:STRING=//p' "$build/CMakeCache.txt")
Description: household book-keeping program (和顺家账)
 kinbook keeps a family's books on the desktop: income, expenses,
 investments, bank deposits and withdrawals, and loans owed and lent, with
 filtered listings, totals, the asset position and the summary of the year.
 Alipay and WeChat Pay bills and banks' statements (CSV, .xlsx, .xls) can
 be imported. Its windows are in Chinese.
 .
 The books are one SQLite file in ~/.local/share/kinbook, backed up at each
 start; removing the package leaves them there. Several computers of a family
 can keep the same books through a folder that Syncthing (or a network share,
 or a USB stick) carries between them.
CONTROL

(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"

echo "== package"
mkdir -p "$out"
deb=$out/kinbook_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
