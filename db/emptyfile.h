#pragma once

#include <filesystem>
#include <string>

// An empty main.mdb made from the statements of db/schema.sql. Plain C++ over SQLite, so that the
// build tool that makes the empty file and the program that makes one at a first start share it.
namespace EmptyFile {

// Runs `schema` on a new file written as `out` + ".tmp" and renamed to `out` only when complete: a
// failure never leaves a half-made database (the temporary file is removed). An existing `out` is
// replaced, so callers check first. False with the reason in `error` when it fails.
bool make(const std::string& schema, const std::filesystem::path& out, std::string& error);

}  // namespace EmptyFile
