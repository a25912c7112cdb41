#!/usr/bin/env bash
# The Debian package: built by tools/package.sh, its contents and Depends listed, checked by lintian,
# desktop-file-validate and appstreamcli, unpacked with dpkg -x into a temporary root (nothing is
# installed on the system) and started from there headless with a temporary HOME. Made twice from the
# same sources and date, it is the same file byte for byte.
#   tests/package/package_test.sh SOURCE-DIR WORK-DIR [PROGRAM]
# PROGRAM: a kinbook that a build of the test suite made, packaged instead of building one.
set -euo pipefail
src=$1
work=$(realpath -m "$2")
fail() { echo "FAIL: $*" >&2; exit 1; }
unset KINBOOK_DATA XDG_DATA_HOME
[ -z "${3:-}" ] || export KINBOOK_PACKAGE_PROGRAM=$3
# A date of the sources that is not today's: the package's dates come from it, never from the clock.
export SOURCE_DATE_EPOCH=1767225600

# The package build is kept between runs (WORK-DIR/build); the rest starts afresh.
rm -rf "$work/out" "$work/again" "$work/root" "$work/run"
mkdir -p "$work/out" "$work/again" "$work/run"
KINBOOK_PACKAGE_BUILD=$work/build bash "$src/tools/package.sh" "$work/out" | tail -1
deb=$(ls "$work"/out/kinbook_*_"$(dpkg --print-architecture)".deb)

echo "== reproducible"
[ "$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/kinbook/changelog.gz | gzip -dc | sed -n 's/^ -- .*>  //p')" \
  = "Thu, 01 Jan 2026 00:00:00 +0000" ] || fail "the changelog's date is not the sources' date"
KINBOOK_PACKAGE_BUILD=$work/build bash "$src/tools/package.sh" "$work/again" >/dev/null
cmp "$deb" "$work/again/$(basename "$deb")" || fail "the same sources made another package"

echo "== contents"
dpkg-deb -c "$deb" | awk '{print $1, $6}' | tee "$work/run/contents"
for f in usr/bin/kinbook usr/share/applications/org.kinbook.kinbook.desktop \
         usr/share/icons/hicolor/scalable/apps/kinbook.svg usr/share/icons/hicolor/48x48/apps/kinbook.png \
         usr/share/icons/hicolor/256x256/apps/kinbook.png usr/share/metainfo/org.kinbook.kinbook.metainfo.xml \
         usr/share/doc/kinbook/copyright usr/share/doc/kinbook/changelog.gz usr/share/man/man1/kinbook.1.gz; do
  grep -q " ./$f\$" "$work/run/contents" || fail "the package lacks /$f"
done
grep -q "main.mdb" "$work/run/contents" && fail "the package carries a main.mdb"
echo "== Depends"
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends"
for d in libqt6widgets6 libsqlite3-0 libsodium23 qt6-translations-l10n "fonts-arphic-uming | fonts-noto-cjk"; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d"
done

echo "== lintian"
lintian --fail-on error --display-info "$deb" 2>&1 | grep -v "^running with root privileges" || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

root=$work/root
dpkg -x "$deb" "$root"
echo "== desktop-file-validate, appstreamcli"
desktop-file-validate "$root/usr/share/applications/org.kinbook.kinbook.desktop" || fail "desktop-file-validate"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/org.kinbook.kinbook.metainfo.xml" || fail "appstreamcli validate"
fi

# Starts the unpacked program as a check of its start; its report goes to $work/run/out.
start() {
  env HOME="$work/run/home" QT_QPA_PLATFORM=offscreen \
      "$@" > "$work/run/out" 2>/dev/null || { cat "$work/run/out"; fail "the program did not start: $*"; }
  cat "$work/run/out"
}
says() { grep -qF -- "$1" "$work/run/out" || fail "the start did not say: $1"; }
members() { sqlite3 "$1" "select group_concat(姓名) from 成员"; }

echo "== a home folder that is not there: refused, nothing written"
env HOME="$work/run/home" QT_QPA_PLATFORM=offscreen "$root/usr/bin/kinbook" --check-start > "$work/run/out" 2>/dev/null \
  && fail "the program started without its home folder"
cat "$work/run/out"
says "HOME"
says "--data"
[ -e "$work/run/home" ] && fail "the missing home folder was made"

echo "== first start with an empty home"
mkdir -p "$work/run/home"
books=$work/run/home/.local/share/kinbook
start "$root/usr/bin/kinbook" --check-start
says "数据文件夹：$books"
says "登录窗口已显示"
says "登录窗口提示：这是一本新账本"
[ -f "$books/main.mdb" ] || fail "no main.mdb in $books"
[ "$(sqlite3 "$books/main.mdb" 'pragma user_version')" -ge 1 ] || fail "the new file has no version"
sqlite3 "$books/main.mdb" "insert into 成员(ID, 姓名, 密码) values ('01', '王芳', '')"

echo "== second start finds it"
start "$root/usr/bin/kinbook" --check-start
says "数据文件夹：$books"
grep -q "登录窗口提示" "$work/run/out" && fail "the second start took the book for a new one"
[ "$(members "$books/main.mdb")" = 王芳 ] || fail "the second start lost the member"

echo "== --data chooses another folder"
start "$root/usr/bin/kinbook" --data "$work/run/other" --check-start
says "数据文件夹：$work/run/other"
says "登录窗口提示：这是一本新账本"
[ -f "$work/run/other/main.mdb" ] || fail "no main.mdb in the folder given with --data"
[ "$(members "$books/main.mdb")" = 王芳 ] || fail "--data touched the home's book"

echo "== backups but no main.mdb: the backup is offered (and, answered 确定, restored)"
mkdir -p "$work/run/kept/backups"
cp "$books/main.mdb" "$work/run/kept/backups/main-20261201-120000.mdb"
KINBOOK_DATA=$work/run/kept start "$root/usr/bin/kinbook" --check-start
says "数据文件夹：$work/run/kept"
says "最新的完好备份是 $work/run/kept/backups/main-20261201-120000.mdb"
grep -q "登录窗口提示" "$work/run/out" && fail "an empty book was started beside the backups"
[ "$(members "$work/run/kept/main.mdb")" = 王芳 ] || fail "the offered backup was not the one restored"
echo "package test passed"
