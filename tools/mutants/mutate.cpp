// The mutants of a C++ source file, for tools/mutants.sh: small faults of the kinds that tests
// should catch, one at a time.
//   kinbook_mutate list FILE              one mutant a line: number, line, kind, what changes
//   kinbook_mutate write FILE N OUT       FILE with mutant N in it, written to OUT
// The kinds: a comparison changed (< <=, > >=, == !=), an arithmetic or logical operator changed
// (+ -, * /, % *, += -=, && ||), a whole-number constant changed (0 1, 1 0, n n+1), a condition of an
// if or while negated, and a statement (an assignment or a call on a line of its own) removed.
// Operators are recognised by the spaces around them, as the project's formatting writes binary
// operators; text in quotes, comments and preprocessor lines are left alone.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Mutant {
    int line = 0;         // from 1
    std::size_t at = 0;   // offset in the line
    std::size_t length = 0;
    std::string kind, replacement;
    std::string original;
};

// Each line with what is not code (texts in quotes, character literals, comments) blanked out, so that
// the patterns below see code only; the offsets stay those of the line.
std::vector<std::string> codeOnly(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    bool inComment = false;
    std::string rawEnd;  // the end of a raw string literal that spans lines
    for (const std::string& line : lines) {
        std::string code = line;
        std::size_t i = 0;
        const std::size_t first = line.find_first_not_of(" \t");
        if (!inComment && rawEnd.empty() && first != std::string::npos && line[first] == '#') {
            out.push_back(std::string(line.size(), ' '));
            continue;
        }
        while (i < line.size()) {
            if (!rawEnd.empty()) {
                const std::size_t end = line.find(rawEnd, i);
                const std::size_t stop = end == std::string::npos ? line.size() : end + rawEnd.size();
                for (; i < stop; ++i)
                    code[i] = ' ';
                if (end != std::string::npos)
                    rawEnd.clear();
                continue;
            }
            if (inComment) {
                const std::size_t end = line.find("*/", i);
                const std::size_t stop = end == std::string::npos ? line.size() : end + 2;
                for (; i < stop; ++i)
                    code[i] = ' ';
                if (end != std::string::npos)
                    inComment = false;
                continue;
            }
            const char c = line[i];
            if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
                for (; i < line.size(); ++i)
                    code[i] = ' ';
            } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
                inComment = true;
            } else if (c == 'R' && i + 1 < line.size() && line[i + 1] == '"'
                       && (i == 0 || !(std::isalnum(static_cast<unsigned char>(line[i - 1])) || line[i - 1] == '_')
                           || line[i - 1] == 'u' || line[i - 1] == '8' || line[i - 1] == 'L' || line[i - 1] == 'U')) {
                const std::size_t open = line.find('(', i + 2);
                rawEnd = ")" + line.substr(i + 2, open - i - 2) + "\"";
                for (; i <= open && i < line.size(); ++i)
                    code[i] = ' ';
            } else if (c == '"' || (c == '\'' && !(i > 0 && std::isxdigit(static_cast<unsigned char>(line[i - 1]))
                                                   && i + 1 < line.size() && std::isxdigit(static_cast<unsigned char>(line[i + 1]))))) {
                // A text or character in quotes (a quote between digits separates them: 10'000).
                code[i++] = ' ';
                while (i < line.size() && line[i] != c) {
                    if (line[i] == '\\')
                        code[i++] = ' ';
                    if (i < line.size())
                        code[i++] = ' ';
                }
                if (i < line.size())
                    code[i++] = ' ';
            } else {
                ++i;
            }
        }
        out.push_back(code);
    }
    return out;
}

bool wordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The last character of the code before line `n` that is not blank (0 when there is none).
char lastCodeBefore(const std::vector<std::string>& code, int n)
{
    for (int k = n - 1; k >= 0; --k) {
        const std::size_t last = code[k].find_last_not_of(" \t");
        if (last != std::string::npos)
            return code[k][last];
    }
    return 0;
}

std::vector<Mutant> mutantsOf(const std::vector<std::string>& lines)
{
    const std::vector<std::string> code = codeOnly(lines);
    std::vector<Mutant> out;
    auto add = [&](int n, std::size_t at, std::size_t length, const std::string& kind, const std::string& replacement) {
        out.push_back({n + 1, at, length, kind, replacement, lines[n].substr(at, length)});
    };
    // Binary operators, spaced: the operator, what it becomes, the kind.
    struct Change {
        std::string from, to, kind;
    };
    static const std::vector<Change> operators = {
        {" < ", " <= ", "comparison"}, {" <= ", " < ", "comparison"},  {" > ", " >= ", "comparison"},
        {" >= ", " > ", "comparison"}, {" == ", " != ", "comparison"}, {" != ", " == ", "comparison"},
        {" + ", " - ", "arithmetic"},  {" - ", " + ", "arithmetic"},   {" * ", " / ", "arithmetic"},
        {" / ", " * ", "arithmetic"},  {" % ", " * ", "arithmetic"},   {" += ", " -= ", "arithmetic"},
        {" -= ", " += ", "arithmetic"}, {" && ", " || ", "logical"},   {" || ", " && ", "logical"},
    };
    static const std::regex number(R"((^|[^\w.'])(\d+)(?![\w.']))");
    static const std::regex statement(R"(^(\s*)([A-Za-z_][\w]*(\s*(\.|->|::)\s*[A-Za-z_~][\w]*)*(\[[^\]]*\])?)\s*(\(|=[^=]|\+=|-=|\*=|/=|\|=|&=|<<|>>).*;\s*$)");
    static const std::regex declaration(R"(^\s*(const\s+)?[A-Za-z_][\w:<>]*[\s*&]+[A-Za-z_]\w*\s*=[^=])");
    static const std::regex keywordStart(R"(^\s*(return|throw|case|default|break|continue|goto|using|typedef|static|const|constexpr|auto|else|delete|new|co_\w+)\b)");
    for (int n = 0; n < static_cast<int>(code.size()); ++n) {
        const std::string& c = code[n];
        if (c.find_first_not_of(" \t") == std::string::npos)
            continue;
        for (const Change& op : operators)
            for (std::size_t at = c.find(op.from); at != std::string::npos; at = c.find(op.from, at + 1))
                add(n, at, op.from.size(), op.kind, op.to);
        for (auto it = std::sregex_iterator(c.begin(), c.end(), number); it != std::sregex_iterator(); ++it) {
            const std::size_t at = static_cast<std::size_t>(it->position(2));
            const std::string digits = it->str(2);
            if (digits.size() > 1 && digits[0] == '0')
                continue;  // octal, or a leading zero written on purpose
            std::string to;
            if (digits == "0")
                to = "1";
            else if (digits == "1")
                to = "0";
            else if (digits.size() < 18)
                to = std::to_string(std::stoll(digits) + 1);
            if (!to.empty())
                add(n, at, digits.size(), "constant", to);
        }
        for (const char* keyword : {"if (", "while ("}) {
            for (std::size_t at = c.find(keyword); at != std::string::npos; at = c.find(keyword, at + 1)) {
                if (at > 0 && wordChar(c[at - 1]))
                    continue;
                const std::size_t open = at + std::string(keyword).size() - 1;
                int depth = 0;
                std::size_t close = std::string::npos;
                for (std::size_t k = open; k < c.size(); ++k) {
                    depth += c[k] == '(' ? 1 : c[k] == ')' ? -1 : 0;
                    if (depth == 0) {
                        close = k;
                        break;
                    }
                }
                if (close == std::string::npos || c.find(';', open) < close)
                    continue;  // a condition over several lines, or one with a statement before it
                const std::string condition = lines[n].substr(open + 1, close - open - 1);
                if (std::regex_search(condition, declaration))
                    continue;
                add(n, open + 1, close - open - 1, "negated", "!(" + condition + ")");
            }
        }
        const char before = lastCodeBefore(code, n);
        if (std::regex_match(c, statement) && !std::regex_search(c, keywordStart)
            && (before == ';' || before == '{' || before == '}' || before == ')' || before == 0)) {
            const std::size_t first = c.find_first_not_of(" \t");
            const std::size_t last = c.find_last_of(';');
            add(n, first, last + 1 - first, "removed", ";");
        }
    }
    return out;
}

std::vector<std::string> readLines(const char* path, bool& ok)
{
    std::ifstream in(path);
    ok = static_cast<bool>(in);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string oneLine(std::string s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : s.substr(first);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    bool ok = false;
    if (command == "list" && argc == 3) {
        const std::vector<std::string> lines = readLines(argv[2], ok);
        if (!ok) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
        const std::vector<Mutant> all = mutantsOf(lines);
        for (std::size_t i = 0; i < all.size(); ++i)
            std::cout << i + 1 << '\t' << all[i].line << '\t' << all[i].kind << '\t' << oneLine(all[i].original) << " => "
                      << all[i].replacement << '\n';
        return 0;
    }
    if (command == "write" && argc == 5) {
        std::vector<std::string> lines = readLines(argv[2], ok);
        const std::vector<Mutant> all = mutantsOf(lines);
        const long n = std::atol(argv[3]);
        if (!ok || n < 1 || n > static_cast<long>(all.size())) {
            std::fprintf(stderr, "no mutant %s of %s\n", argv[3], argv[2]);
            return 1;
        }
        const Mutant& m = all[static_cast<std::size_t>(n - 1)];
        lines[m.line - 1].replace(m.at, m.length, m.replacement);
        std::ofstream out(argv[4]);
        for (const std::string& line : lines)
            out << line << '\n';
        return out ? 0 : 1;
    }
    std::fprintf(stderr, "usage: kinbook_mutate list FILE | kinbook_mutate write FILE N OUT\n");
    return 2;
}
