#include "emptyfile.h"

#include "diskwrites.h"

#include <sqlite3.h>

#include <system_error>

namespace EmptyFile {

std::vector<std::filesystem::path> leftovers(const std::filesystem::path& out)
{
    const std::string tmp = out.string() + ".tmp";
    return {tmp, tmp + "-journal"};
}

bool make(const std::string& schema, const std::filesystem::path& out, std::string& error)
{
    const std::filesystem::path tmp = leftovers(out).front();
    for (const std::filesystem::path& old : leftovers(out))
        DiskWrites::remove(old);
    sqlite3* db = nullptr;
    bool made = sqlite3_open(tmp.c_str(), &db) == SQLITE_OK;
    if (!made) {
        error = db ? sqlite3_errmsg(db) : "out of memory";
    } else {
        // A file no one else sees until it is complete and flushed as a whole: it needs no journal,
        // and one transaction writes it once.
        const std::string all = "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;\n" + schema + "\n;COMMIT;";
        char* err = nullptr;
        made = sqlite3_exec(db, all.c_str(), nullptr, nullptr, &err) == SQLITE_OK;
        if (!made)
            error = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
    }
    if (sqlite3_close(db) != SQLITE_OK && made) {
        made = false;
        error = "the new file could not be closed";
    }
    if (made) {
        if (const std::error_code ec = DiskWrites::place(tmp, out)) {
            made = false;
            error = ec.message();
        }
    }
    if (!made)
        DiskWrites::remove(tmp);
    return made;
}

}  // namespace EmptyFile
