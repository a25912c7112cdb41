#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (with AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for FUZZ_SECONDS (60 by default), starting from the corpus kept in tests/fuzz/corpus.
# New inputs go to the build folder, not into the tree.
#   tests/fuzz/run.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-"$here/build-fuzz"}
seconds=${FUZZ_SECONDS:-60}
mkdir -p "$out"
flags=(-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       $(pkg-config --cflags Qt6Core sqlite3 quazip1-qt6 libxml-2.0 freexl) -I"$here/file" -I"$here/household" -DKINBOOK_SCHEMA="\"$here/file/schema.sql\"")
libs=($(pkg-config --libs Qt6Core sqlite3 quazip1-qt6 libxml-2.0 freexl))

echo "== fuzz: building with $(clang++ --version | head -1)"
clang++ "${flags[@]}" "$here/tests/fuzz/money_fuzz.cpp" "$here/file/money.cpp" -o "$out/money_fuzz" "${libs[@]}" &
money=$!
clang++ "${flags[@]}" "$here/tests/fuzz/bills_fuzz.cpp" "$here/household/bills.cpp" "$here/household/billrows.cpp" "$here/household/billtext.cpp" "$here/household/statements.cpp" \
        "$here/household/workbook.cpp" "$here/household/oldworkbook.cpp" "$here/file/money.cpp" -o "$out/bills_fuzz" "${libs[@]}"
wait $money

# Each target runs in one process: both at once, one to a core.
echo "== fuzz: money and bills for ${seconds} s"
pids=()
for target in money bills; do
  mkdir -p "$out/corpus-$target"
  "$out/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 -artifact_prefix="$out/$target-" \
    "$out/corpus-$target" "$here/tests/fuzz/corpus/$target" >"$out/$target.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in 0 1; do
  target=$([ $i = 0 ] && echo money || echo bills)
  log="$out/$target.log"
  if ! wait "${pids[$i]}"; then
    tail -n 60 "$log"
    echo "== fuzz: $target FAILED (the input that failed is named above)"
    failed=1
    continue
  fi
  echo "== fuzz: $target"
  grep -E "^(#[0-9]+.*DONE|Done [0-9]+ runs|stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added)" "$log" || true
done
exit $failed
