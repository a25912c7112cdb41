#!/usr/bin/env bash
# Makes the test data of one file version: tests/data/versions/vN.mdb, a household file as the build of
# that version makes it (its own kinbook_mkdb from its own schema.sql, then a few records typed in
# with the sqlite3 tool), and vN.sql, that schema.sql itself. The tests check the program of today
# against these files (a file of each version is accepted as that version, and upgraded to the newest
# it has the newest version's schema), so a file is made once, by the version itself, and never again.
#   tools/versionfile.sh N COMMIT    (COMMIT: a commit of the history where version N is the newest)
# Run it from the repository, with the packages of tools/setup.sh installed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
version=${1:?the file version}
commit=${2:?a commit where that version is the newest}
out=$here/tests/data/versions
# The schema file lay in db/ before the code was put in layers, in file/ since.
schema=file/schema.sql
git -C "$here" cat-file -e "$commit:$schema" 2>/dev/null || schema=db/schema.sql
made=$(git -C "$here" show "$commit:$schema" | sed -n 's/^PRAGMA user_version = \([0-9]*\);.*/\1/p')
[ "${made:-0}" = "$version" ] || { echo "$schema at $commit makes version ${made:-0}, not $version" >&2; exit 1; }
[ ! -e "$out/v$version.mdb" ] || { echo "$out/v$version.mdb exists: a version's file is made once" >&2; exit 1; }

work=$(mktemp -d)
cleanup() { git -C "$here" worktree remove --force "$work/src" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
git -C "$here" worktree add --detach "$work/src" "$commit" >/dev/null
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKINBOOK_TESTS=OFF >/dev/null
cmake --build "$work/build" --target kinbook_mkdb >/dev/null
mkdb=$(find "$work/build" -name kinbook_mkdb -type f -perm -u+x | head -1)
"$mkdb" "$work/src/$schema" "$work/v$version.mdb"
# A member, an income type and two records; before version 1 also a date the old checks let through.
sqlite3 "$work/v$version.mdb" "insert into 成员 (ID, 姓名, 关系, 密码) values ('01', '张三', '父亲', '123');
  insert into 收入类型 (ID, 类型, 备注) values ('g', '工资', '');
  insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'g', 1234.5, '2026-03-01', '三月', 3), ('01', 'g', 0.1, '2026-03-02', '', 3);"
if [ "$version" = 0 ]; then
  sqlite3 "$work/v$version.mdb" "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'g', 20, '01/02/2026', '', 2);"
fi
mkdir -p "$out"
cp "$work/v$version.mdb" "$out/v$version.mdb"
cp "$work/src/$schema" "$out/v$version.sql"
echo "made $out/v$version.mdb and v$version.sql from $commit"
