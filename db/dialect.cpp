#include "dialect.h"

#include <QList>
#include <memory>
#include <optional>

namespace {

enum class Tok { Space, Word, Quoted, Ident, Hash, Punct };

struct Token {
    Tok kind;
    QString text;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

QList<Token> tokenize(const QString& s)
{
    QList<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        qsizetype j = i + 1;
        Tok kind;
        if (c.isSpace()) {
            while (j < n && s[j].isSpace())
                ++j;
            kind = Tok::Space;
        } else if (c == u'\'' || c == u'"' || c == u'[' || c == u'`') {
            const QChar close = c == u'[' ? u']' : c;
            // A doubled closing quote stands for itself inside the text.
            while (j < n) {
                if (s[j] == close) {
                    if (close != u']' && j + 1 < n && s[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            kind = c == u'\'' ? Tok::Quoted : Tok::Ident;
        } else if (c == u'#') {
            while (j < n && s[j] != u'#' && s[j] != u'\'' && !s[j].isSpace())
                ++j;
            if (j < n && s[j] == u'#') {
                ++j;
                kind = Tok::Hash;
            } else {
                j = i + 1;
                kind = Tok::Punct;
            }
        } else if (isWordChar(c)) {
            while (j < n && isWordChar(s[j]))
                ++j;
            kind = Tok::Word;
        } else {
            kind = Tok::Punct;
        }
        out.append(Token{kind, s.mid(i, j - i)});
        i = j;
    }
    return out;
}

bool isWord(const Token& t, const char* w)
{
    return t.kind == Tok::Word && t.text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
}

struct Node {
    // A leaf holds the table's tokens; a join holds its two sides and the ON condition.
    QList<Token> leaf;
    QString op;  // "LEFT", "RIGHT", "INNER" or "" for a plain JOIN
    std::unique_ptr<Node> left, right;
    QList<Token> cond;
    bool isJoin() const { return left != nullptr; }
};

class FromParser {
public:
    FromParser(const QList<Token>& toks, qsizetype pos) : t_(toks), p_(pos) {}

    std::unique_ptr<Node> parseExpr()
    {
        auto node = parseTerm();
        if (!node)
            return nullptr;
        for (;;) {
            skipSpace();
            QString op;
            const qsizetype save = p_;
            if (at("LEFT") || at("RIGHT") || at("INNER")) {
                op = t_[p_].text.toUpper();
                ++p_;
                skipSpace();
                if (at("OUTER")) {
                    ++p_;
                    skipSpace();
                }
            }
            if (!at("JOIN")) {
                p_ = save;
                return node;
            }
            ++p_;
            auto right = parseTerm();
            if (!right)
                return nullptr;
            skipSpace();
            if (!at("ON"))
                return nullptr;
            ++p_;
            auto join = std::make_unique<Node>();
            join->op = op;
            join->left = std::move(node);
            join->right = std::move(right);
            join->cond = parseCondition();
            if (join->cond.isEmpty())
                return nullptr;
            node = std::move(join);
        }
    }

    qsizetype pos() const { return p_; }

private:
    std::unique_ptr<Node> parseTerm()
    {
        skipSpace();
        if (p_ >= t_.size())
            return nullptr;
        if (t_[p_].kind == Tok::Punct && t_[p_].text == u'(') {
            ++p_;
            auto inner = parseExpr();
            skipSpace();
            if (!inner || p_ >= t_.size() || t_[p_].text != u')')
                return nullptr;
            ++p_;
            return inner;
        }
        auto leaf = std::make_unique<Node>();
        // A table name, possibly qualified, and an optional alias.
        while (p_ < t_.size()) {
            const Token& k = t_[p_];
            if (k.kind == Tok::Word || k.kind == Tok::Ident || (k.kind == Tok::Punct && k.text == u'.')) {
                if (k.kind == Tok::Word && isKeyword(k))
                    break;
                leaf->leaf.append(k);
                ++p_;
            } else if (k.kind == Tok::Space) {
                // Keep a blank only when an alias follows it.
                qsizetype q = p_;
                while (q < t_.size() && t_[q].kind == Tok::Space)
                    ++q;
                if (q < t_.size() && (t_[q].kind == Tok::Word || t_[q].kind == Tok::Ident) && !isKeyword(t_[q])
                    && !leaf->leaf.isEmpty()) {
                    leaf->leaf.append(Token{Tok::Space, QStringLiteral(" ")});
                    p_ = q;
                } else {
                    break;
                }
            } else {
                break;
            }
        }
        if (leaf->leaf.isEmpty())
            return nullptr;
        return leaf;
    }

    QList<Token> parseCondition()
    {
        QList<Token> cond;
        int depth = 0;
        while (p_ < t_.size()) {
            const Token& k = t_[p_];
            if (k.kind == Tok::Punct && k.text == u'(') {
                ++depth;
            } else if (k.kind == Tok::Punct && k.text == u')') {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && k.kind == Tok::Word
                       && (isWord(k, "JOIN") || isWord(k, "LEFT") || isWord(k, "RIGHT") || isWord(k, "INNER")
                           || isTerminator(k))) {
                break;
            } else if (depth == 0 && k.kind == Tok::Punct && k.text == u';') {
                break;
            }
            cond.append(k);
            ++p_;
        }
        while (!cond.isEmpty() && cond.last().kind == Tok::Space)
            cond.removeLast();
        while (!cond.isEmpty() && cond.first().kind == Tok::Space)
            cond.removeFirst();
        return cond;
    }

    static bool isTerminator(const Token& k)
    {
        return isWord(k, "WHERE") || isWord(k, "ORDER") || isWord(k, "GROUP") || isWord(k, "HAVING")
            || isWord(k, "LIMIT") || isWord(k, "UNION");
    }
    static bool isKeyword(const Token& k)
    {
        return isTerminator(k) || isWord(k, "JOIN") || isWord(k, "LEFT") || isWord(k, "RIGHT")
            || isWord(k, "INNER") || isWord(k, "OUTER") || isWord(k, "ON");
    }
    bool at(const char* w) const { return p_ < t_.size() && isWord(t_[p_], w); }
    void skipSpace()
    {
        while (p_ < t_.size() && t_[p_].kind == Tok::Space)
            ++p_;
    }

    const QList<Token>& t_;
    qsizetype p_;
};

QString joinTokens(const QList<Token>& toks)
{
    QString s;
    for (const Token& t : toks)
        s += t.text;
    return s;
}

// The tokens from `i` on, blanks skipped.
qsizetype nextToken(const QList<Token>& toks, qsizetype i)
{
    while (i < toks.size() && toks[i].kind == Tok::Space)
        ++i;
    return i;
}

bool isName(const Token& t)
{
    return t.kind == Tok::Word || t.kind == Tok::Ident;
}

}  // namespace

std::optional<LookupOrder> lookupOrder(const QString& sqliteSql)
{
    const QList<Token> toks = tokenize(sqliteSql);
    qsizetype i = nextToken(toks, 0);
    if (i >= toks.size() || !isWord(toks[i], "SELECT"))
        return std::nullopt;
    const qsizetype selectAt = i;
    i = nextToken(toks, i + 1);
    if (i < toks.size() && (isWord(toks[i], "DISTINCT") || isWord(toks[i], "ALL")))
        return std::nullopt;
    // The select list: plain columns, up to the FROM.
    for (; i < toks.size() && !isWord(toks[i], "FROM"); ++i)
        if (toks[i].kind == Tok::Punct && (toks[i].text == u'(' || toks[i].text == u';'))
            return std::nullopt;
    if (i >= toks.size())
        return std::nullopt;
    FromParser parser(toks, i + 1);
    const auto tree = parser.parseExpr();
    if (!tree)
        return std::nullopt;
    const qsizetype fromEnd = parser.pos();

    // ORDER BY <table>.<column> [ASC], then nothing but a closing semicolon.
    i = nextToken(toks, fromEnd);
    if (i >= toks.size() || !isWord(toks[i], "ORDER"))
        return std::nullopt;
    i = nextToken(toks, i + 1);
    if (i >= toks.size() || !isWord(toks[i], "BY"))
        return std::nullopt;
    i = nextToken(toks, i + 1);
    if (i + 2 >= toks.size() || !isName(toks[i]) || toks[i + 1].text != u'.' || !isName(toks[i + 2]))
        return std::nullopt;
    LookupOrder out;
    out.table = toks[i].text;
    out.column = toks[i + 2].text;
    i = nextToken(toks, i + 3);
    if (i < toks.size() && isWord(toks[i], "COLLATE")) {
        i = nextToken(toks, i + 1);
        if (i >= toks.size() || !isName(toks[i]))
            return std::nullopt;
        out.collation = toks[i].text;
        i = nextToken(toks, i + 1);
    }
    if (i < toks.size() && isWord(toks[i], "ASC"))
        i = nextToken(toks, i + 1);
    if (i < toks.size() && toks[i].text == u';')
        i = nextToken(toks, i + 1);
    if (i < toks.size())
        return std::nullopt;

    // A chain of joins, each adding one plain table; the ordering table added by a LEFT JOIN, once.
    int found = 0;
    const QList<Token>* cond = nullptr;
    const Node* root = nullptr;
    for (const Node* n = tree.get(); n; n = n->isJoin() ? n->left.get() : nullptr) {
        const Node* leaf = n->isJoin() ? n->right.get() : n;
        if (leaf->isJoin() || leaf->leaf.size() != 1)
            return std::nullopt;
        root = leaf;
        if (leaf->leaf.first().text.compare(out.table, Qt::CaseInsensitive) != 0)
            continue;
        if (!n->isJoin() || n->op != QLatin1String("LEFT"))
            return std::nullopt;
        out.on = joinTokens(n->cond);
        cond = &n->cond;
        ++found;
    }
    if (found != 1)
        return std::nullopt;
    // "<a>.<x> = <b>.<y>": one side the ordering table, the other the first table.
    QList<Token> eq;
    for (const Token& t : *cond)
        if (t.kind != Tok::Space)
            eq.append(t);
    const auto plain = [&](int i) { return eq[i].kind == Tok::Word && eq[i + 1].text == u'.' && eq[i + 2].kind == Tok::Word; };
    if (eq.size() == 7 && eq[3].text == u'=' && plain(0) && plain(4)) {
        const bool keyFirst = eq[0].text.compare(out.table, Qt::CaseInsensitive) == 0;
        const int k = keyFirst ? 0 : 4, r = keyFirst ? 4 : 0;
        if (eq[k].text.compare(out.table, Qt::CaseInsensitive) == 0
            && eq[r].text.compare(root->leaf.first().text, Qt::CaseInsensitive) == 0) {
            out.key = eq[k + 2].text;
            out.root = eq[r].text;
            out.rootColumn = eq[r + 2].text;
        }
    }
    out.select = joinTokens(toks.mid(selectAt, fromEnd - selectAt)).trimmed();
    return out;
}
