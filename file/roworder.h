#pragma once

#include <cstdint>
#include <vector>

class Snapshot;

// The order of a result's rows by one of its columns, for the grids' header sort.
//
// Empty cells come first, then numbers by their value (amounts, whole numbers and reals alike),
// then texts: dates (a DATE column's YYYY-MM-DD) by their text, which is their order in time, and
// every other text in Chinese order (PinyinOrder: names by their pinyin).
namespace RowOrder {

// One rank per row of the snapshot, computed once per column: rows of equal rank hold equal
// values, a lower rank comes first.
std::vector<std::uint32_t> ranks(const Snapshot& snap, int column);

// The rows in the order of their ranks, ascending or descending; rows of equal rank keep the order
// they had in the result.
std::vector<int> sorted(const std::vector<std::uint32_t>& ranks, bool descending);

}  // namespace RowOrder
