#!/usr/bin/env bash
# Mutation testing: puts small faults into source files one at a time and runs the tests that cover
# each file; a fault that no test catches (a survivor) is a fault a later change could bring in
# unnoticed.
#   tools/mutants.sh [--sample N] [--seed S] [--mutants A,B,...] [--timeout SECONDS] FILE[:FIRST-LAST,...]...
# FILE is a source file of the repository (household/budgets.cpp); FIRST-LAST,... limits it to those lines.
# --sample N tries N mutants of each file, drawn with the seed S (1 when not given); --mutants the
# mutants of those numbers (as a run lists them); without either, every mutant. The mutants are
# those of tools/mutants/mutate.cpp (a comparison, an arithmetic or logical operator, a constant, a
# condition negated, a statement removed). Each is built in one build folder kept between runs
# (build-mutants/, a copy of the sources; KINBOOK_MUTANTS_DIR names another), only the file and the
# test programs relinked; a mutant the compiler refuses is not counted. The tests that cover each
# file are named below; they run with a time limit (five times their time without mutants, at least
# --timeout, 60 s when not given), and a mutant is caught when one of them fails or runs out of time.
# Prints each mutant as it is tried, then the survivors, the figures per file and, last,
# "caught N of M".
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(realpath -m "${KINBOOK_MUTANTS_DIR:-$here/build-mutants}")
src=$work/src
build=$src/build
sample=0
seed=1
chosen=
timeout=60
files=()
while [ $# -gt 0 ]; do
  case $1 in
    --sample) sample=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --mutants) chosen=,$2,; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) files+=("$1"); shift ;;
  esac
done
[ ${#files[@]} -gt 0 ] || { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

# The tests that cover a file: "program filter" pairs (a GoogleTest filter of that test program).
testsOf() {
  case $1 in
    household/recurring.cpp) echo "test_db Schedules.*:Plans.*:EnteredByHand.*" "test_books RecurringTest.*" "test_reports PlansTest.*" "test_shell AfterLogin.*" ;;
    household/budgets.cpp) echo "test_db Plans.*" "test_reports PlansTest.*:BudgetYear.*" "test_books EntryTest.*:BillImportTest.*:RecurringTest.*" ;;
    household/monthoverview.cpp) echo "test_db Plans.*" "test_reports PlansTest.*" "test_shell AfterLogin.*" ;;
    household/bills.cpp) echo "test_db Bills.*:Statements.*" "test_books BillImportTest.*:StatementImportTest.*" ;;
    household/statements.cpp) echo "test_db Statements.*:Bills.*:StatementPosting.*" "test_books StatementImportTest.*" ;;
    household/billtext.cpp) echo "test_db Bills.*:Statements.*" "test_books BillImportTest.*:StatementImportTest.*" ;;
    household/billposting.cpp) echo "test_db StatementPosting.*" "test_books BillImportTest.*:StatementImportTest.*" ;;
    file/fileschema.cpp) echo "test_db Backups.*:FileVersions.*" "test_shell FileSafety.*" ;;
    file/money.cpp) echo "test_db -CrashSafety.*" "test_books AmountTest.*:EntryTest.*:BillImportTest.*" "test_reports StatisticsTest.*:QueryTest.*" ;;
    file/recordset.cpp|file/resultreader.cpp) echo "test_db Recordset*:Sync*" "test_reports QueryTest.*:CorrectionsTest.*:SearchTest.*:StatisticsTest.*" "test_shell Grid*" ;;
    household/editablerows.cpp) echo "test_db Recordset*:Sync*" "test_books EntryTest.*:BankTest.*:DebtsTest.*:AmountTest.*" "test_reference ListEditorTest.*" ;;
    household/ledgerlisting.cpp|household/storerows.cpp) echo "test_db Recordset*" "test_reports QueryTest.*:CorrectionsTest.*:SearchTest.*:StatisticsTest.*" "test_books EntryTest.*:BankTest.*:DebtsTest.*" "test_reference ListEditorTest.*" ;;
    kit/inputs.cpp) echo "test_books AmountTest.*:EntryTest.*:BankTest.*:DebtsTest.*" "test_shell ControlCharacters.*" "test_reference ListEditorTest.*" ;;
    *) echo "test_db -CrashSafety.*" "test_shell *" "test_reference *" "test_books *" "test_reports *" ;;
  esac
}

# The copy of the sources: every file of the repository as it stands (committed or not); a file whose
# content changed since the last run (or that a mutant was left in) is copied again and rebuilt.
mkdir -p "$src"
(cd "$here" && git ls-files -co --exclude-standard) | while IFS= read -r f; do
  [ -f "$here/$f" ] || continue
  if ! cmp -s "$here/$f" "$src/$f"; then
    mkdir -p "$(dirname "$src/$f")"
    cp "$here/$f" "$src/$f"
  fi
done
export QT_QPA_PLATFORM=offscreen CCACHE_BASEDIR=$src
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Unoptimised and without debugging information, linked by the fastest linker there is: each mutant
# is built in the least time.
linker=()
for l in lld gold; do
  command -v ld.$l >/dev/null && { linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=$l); break; }
done
[ -f "$build/build.ninja" ] || cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
  "${launcher[@]}" "${linker[@]}" >/dev/null

# The test programs of a file, one a line.
programsOf() { testsOf "$1" | xargs -n2 | cut -d' ' -f1; }
mapfile -t programs < <(for f in "${files[@]}"; do programsOf "${f%%:*}"; done; echo kinbook_mutate)
mapfile -t programs < <(printf '%s\n' "${programs[@]}" | sort -u)
echo "== building the tests without mutants: ${programs[*]}"
nice cmake --build "$build" -j"$(nproc)" --target "${programs[@]}" >/dev/null

# Builds and runs the tests of a file, one test program after the other, up to the first that fails:
# 0 when all pass; 1 when one fails; 2 when one runs out of time; 3 when the first does not build (a
# mutant the compiler refuses). Mutants are compiled without ccache: each is made once.
runTests() {
  local file=$1 limit=$2 program filter rc first=1
  while read -r program filter; do
    if ! CCACHE_DISABLE=1 nice cmake --build "$build" -j"$(nproc)" --target "$program" >/dev/null 2>&1; then
      [ $first = 1 ] && return 3
      return 1
    fi
    first=0
    rc=0
    (cd "$build" && timeout --kill-after=5 "$limit" "tests/$program" --gtest_filter="$filter" --gtest_brief=1 >/dev/null 2>&1) || rc=$?
    [ $rc -eq 0 ] || { [ $rc -eq 124 ] || [ $rc -eq 137 ] && return 2; return 1; }
  done < <(testsOf "$file" | xargs -n2)
  return 0
}

survivors=()
figures=()
total=0
totalCaught=0
for given in "${files[@]}"; do
  file=${given%%:*}
  ranges=${given#"$file"}
  ranges=${ranges#:}
  [ -f "$here/$file" ] || { echo "no file $file" >&2; exit 2; }
  start=$(date +%s)
  runTests "$file" 1800 || { echo "== the tests of $file fail without any mutant: mend them first" >&2; exit 1; }
  limit=$(( ($(date +%s) - start) * 5 ))
  [ "$limit" -ge "$timeout" ] || limit=$timeout

  mapfile -t mutants < <("$build/tools/mutants/kinbook_mutate" list "$here/$file" |
    awk -F'\t' -v r="${ranges:-0-1000000}" 'BEGIN { n = split(r, part, ",") }
      { for (i = 1; i <= n; ++i) { split(part[i], ab, "-"); if ($2 >= ab[1] && $2 <= ab[2]) { print; next } } }')
  if [ -n "$chosen" ]; then
    mapfile -t mutants < <(printf '%s\n' "${mutants[@]}" | awk -F'\t' -v c="$chosen" 'index(c, "," $1 ",")')
  elif [ "$sample" -gt 0 ] && [ "${#mutants[@]}" -gt "$sample" ]; then
    mapfile -t mutants < <(printf '%s\n' "${mutants[@]}" |
      awk -v s="$seed" 'BEGIN { srand(s) } { print rand() "\t" $0 }' | sort -n | head -n "$sample" | cut -f2- | sort -n)
  fi
  echo "== $given: ${#mutants[@]} mutants, tests: $(testsOf "$file"), time limit ${limit} s"
  caught=0
  tried=0
  unbuilt=0
  for m in "${mutants[@]}"; do
    IFS=$'\t' read -r number line kind what <<< "$m"
    "$build/tools/mutants/kinbook_mutate" write "$here/$file" "$number" "$src/$file"
    rc=0
    runTests "$file" "$limit" || rc=$?
    case $rc in
      0) outcome=SURVIVED; survivors+=("$file:$line  #$number $kind: $what") ;;
      1) outcome=caught ;;
      2) outcome="caught (time limit)" ;;
      *) outcome="not built" ;;
    esac
    case $rc in
      1 | 2) caught=$((caught + 1)); tried=$((tried + 1)) ;;
      0) tried=$((tried + 1)) ;;
      *) unbuilt=$((unbuilt + 1)) ;;
    esac
    echo "  #$number $file:$line $kind: $what  -- $outcome"
    cp "$here/$file" "$src/$file"
    touch "$src/$file"
  done
  figures+=("$given: caught $caught of $tried ($unbuilt not built)")
  total=$((total + tried))
  totalCaught=$((totalCaught + caught))
done
# The build folder is left without mutants.
nice cmake --build "$build" -j"$(nproc)" --target "${programs[@]}" >/dev/null 2>&1 || true

echo "== survivors"
[ ${#survivors[@]} -eq 0 ] && echo "  none" || printf '  %s\n' "${survivors[@]}"
echo "== per file"
printf '  %s\n' "${figures[@]}"
echo "caught $totalCaught of $total"
