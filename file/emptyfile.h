#pragma once

#include <filesystem>
#include <string>
#include <vector>

// An empty main.mdb made from the statements of db/schema.sql. Plain C++ over SQLite, so that the
// build tool that makes the empty file and the program that makes one at a first start share it.
namespace EmptyFile {

// Runs `schema` on a new file written as `out` + ".tmp" and put in place as `out` only when
// complete and on the disk (DiskWrites::place): a failure never leaves a half-made database (the
// temporary file is removed). An existing `out` is replaced, so callers check first. False with the
// reason in `error` when it fails.
bool make(const std::string& schema, const std::filesystem::path& out, std::string& error);

// What a make() cut short by a power cut or a kill can leave beside `out`: the temporary file and
// its journal.
std::vector<std::filesystem::path> leftovers(const std::filesystem::path& out);

}  // namespace EmptyFile
