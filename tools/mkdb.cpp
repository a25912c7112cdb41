// Builds an empty main.mdb from the schema file.
//   kinbook_mkdb [--keep] schema.sql out.mdb
// With --keep an existing file is left as it is. The file is written under a temporary name and
// renamed, so a failed build never leaves a half-made database.
#include "emptyfile.h"

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

    std::string error;
    if (!EmptyFile::make(text.str(), out, error)) {
        std::fprintf(stderr, "kinbook_mkdb: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
