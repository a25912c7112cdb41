#!/usr/bin/env bash
# Remakes ccb-statement.xls, the old Excel (BIFF8) workbook the tests read, from ccb-statement.csv:
# a statement in the shape 建设银行 exports (title lines, 序号 … 对方账号与户名, signed amounts, one
# row in 美元), written for the tests. Needs LibreOffice (Debian libreoffice-calc-nogui); the file
# is kept in the repository, so the tests themselves do not.
#   bash tests/data/make-xls.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# CSV filter options: comma-separated, double quotes, UTF-8 (76), from line 1, Chinese (PRC) for
# the dates and numbers, which become date and number cells.
soffice --headless --convert-to 'xls:MS Excel 97' --infilter='CSV:44,34,76,1,,2052' \
        --outdir "$out" "$here/ccb-statement.csv" >/dev/null
cp "$out/ccb-statement.xls" "$here/ccb-statement.xls"
