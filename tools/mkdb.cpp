// Builds an empty main.mdb from the schema file.
//   kinbook_mkdb [--keep] schema.sql out.mdb
// With --keep an existing file is left as it is. The file is written under a temporary name and
// renamed, so a failed build never leaves a half-made database.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    bool keep = false;
    int a = 1;
    if (a < argc && std::string(argv[a]) == "--keep") {
        keep = true;
        ++a;
    }
    if (argc - a != 2) {
        std::fprintf(stderr, "usage: kinbook_mkdb [--keep] schema.sql out.mdb\n");
        return 2;
    }
    const std::filesystem::path schema = argv[a], out = argv[a + 1];
    if (std::filesystem::exists(out)) {
        if (keep)
            return 0;
        std::fprintf(stderr, "kinbook_mkdb: %s exists\n", out.c_str());
        return 1;
    }
    std::ifstream in(schema);
    if (!in) {
        std::fprintf(stderr, "kinbook_mkdb: cannot read %s\n", schema.c_str());
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    const std::filesystem::path tmp = out.string() + ".tmp";
    std::filesystem::remove(tmp);
    sqlite3* db = nullptr;
    if (sqlite3_open(tmp.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "kinbook_mkdb: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    char* err = nullptr;
    if (sqlite3_exec(db, text.str().c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "kinbook_mkdb: %s\n", err ? err : "error");
        sqlite3_free(err);
        sqlite3_close(db);
        std::filesystem::remove(tmp);
        return 1;
    }
    sqlite3_close(db);
    std::filesystem::rename(tmp, out);
    return 0;
}
