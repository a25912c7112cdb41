#include "emptyfile.h"

#include <sqlite3.h>

#include <system_error>

namespace EmptyFile {

bool make(const std::string& schema, const std::filesystem::path& out, std::string& error)
{
    const std::filesystem::path tmp = out.string() + ".tmp";
    std::error_code ec;
    std::filesystem::remove(tmp, ec);
    sqlite3* db = nullptr;
    bool made = sqlite3_open(tmp.c_str(), &db) == SQLITE_OK;
    if (!made) {
        error = db ? sqlite3_errmsg(db) : "out of memory";
    } else {
        char* err = nullptr;
        made = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &err) == SQLITE_OK;
        if (!made)
            error = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
    }
    if (sqlite3_close(db) != SQLITE_OK && made) {
        made = false;
        error = "the new file could not be closed";
    }
    if (made) {
        std::filesystem::rename(tmp, out, ec);
        if (ec) {
            made = false;
            error = ec.message();
        }
    }
    if (!made)
        std::filesystem::remove(tmp, ec);
    return made;
}

}  // namespace EmptyFile
