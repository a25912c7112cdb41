// Writes a realistic household main.mdb of a given size, the same file for the same seed.
//   kinbook_gendb [--seed N] [--end-year YYYY] schema.sql out.mdb records
// `records` ledger records are shared out over income, expenses, investments, bank movements and
// debts, spread over the twenty years that end with --end-year (default: this year).
#include "connection.h"
#include "dberror.h"
#include "emptyfile.h"
#include "statement.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and the same on every platform.
struct Rng {
    std::uint64_t s;
    std::uint64_t next()
    {
        std::uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
};

// One insert statement run again and again; a value it cannot take raises DbError.
struct Insert {
    Statement st;
    Insert(Connection& conn, const std::string& sql) : st(conn, QString::fromStdString(sql)) {}
    Insert& text(int i, const std::string& v)
    {
        st.bind(i, QString::fromStdString(v));
        return *this;
    }
    Insert& real(int i, double v)
    {
        st.bind(i, v);
        return *this;
    }
    Insert& integer(int i, long long v)
    {
        st.bindInt64(i, v);
        return *this;
    }
    void run()
    {
        st.step();
        st.reset();
    }
};

const std::array<const char*, 24> kGiven = {"伟", "芳", "娜", "秀英", "敏", "静", "丽", "强", "磊", "军", "洋", "勇",
                                            "艳", "杰", "娟", "涛", "明", "超", "秀兰", "霞", "平", "刚", "桂英", "华"};
const std::array<const char*, 8> kFamily = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄"};
const std::array<const char*, 8> kRelation = {"父亲", "母亲", "儿子", "女儿", "爷爷", "奶奶", "本人", "配偶"};
const std::array<const char*, 12> kIncome = {"工资", "奖金", "利息", "租金", "稿费", "兼职", "分红", "补贴", "礼金", "退税", "养老金", "其它收入"};
const std::array<const char*, 16> kExpense = {"伙食", "水电", "燃气", "房租", "交通", "通讯", "教育", "医疗",
                                              "服装", "日用", "人情", "旅游", "保险", "物业", "娱乐", "其它支出"};
const std::array<const char*, 6> kInvest = {"股票", "基金", "国债", "黄金", "保险理财", "收藏"};
const std::array<const char*, 10> kBank = {"工商银行", "农业银行", "中国银行", "建设银行", "交通银行",
                                           "招商银行", "邮政储蓄", "兴业银行", "浦发银行", "农村信用社"};
const std::array<const char*, 20> kNotes = {"", "", "", "月初", "月底", "超市", "网购", "现金", "转帐", "年终",
                                            "孩子学费", "看病", "过节", "生日", "装修", "还信用卡", "老家", "单位发", "朋友", "补记"};

std::string code(char prefix, int i)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%c%d", prefix, i);
    return buf;
}

std::string note(Rng& r)
{
    std::string n = kNotes[static_cast<std::size_t>(r.below(static_cast<int>(kNotes.size())))];
    if (!n.empty() && r.below(4) == 0)
        n += std::to_string(1 + r.below(12)) + "月";
    return n;
}

// The reference lists and `records` ledger records, drawn from the seed.
void fill(Connection& conn, std::uint64_t seed, int endYear, long long records)
{
    Rng r{seed};
    const int members = 24, incomeTypes = 30, expenseTypes = 40, investTypes = 12, banks = 20;
    {
        Insert m(conn, "insert into 成员 (ID, 姓名, 关系, 密码) values(?,?,?,?)");
        for (int i = 1; i <= members; ++i)
            m.text(1, code('m', i))
                .text(2, std::string(kFamily[static_cast<std::size_t>(i % 8)]) + kGiven[static_cast<std::size_t>(i - 1)])
                .text(3, kRelation[static_cast<std::size_t>(i % 8)])
                .text(4, std::to_string(100000 + r.below(900000)))
                .run();
        auto types = [&](const char* table, char prefix, int n, const auto& names) {
            Insert t(conn, std::string("insert into ") + table + " (ID, 类型, 备注) values(?,?,?)");
            for (int i = 1; i <= n; ++i) {
                std::string name = names[static_cast<std::size_t>((i - 1) % names.size())];
                if (i > static_cast<int>(names.size()))
                    name += std::to_string(i / static_cast<int>(names.size()) + 1);
                t.text(1, code(prefix, i)).text(2, name).text(3, i % 3 == 0 ? "常用" : "").run();
            }
        };
        types("收入类型", 'i', incomeTypes, kIncome);
        types("支出类型", 'e', expenseTypes, kExpense);
        types("投资类型", 't', investTypes, kInvest);
        Insert b(conn, "insert into 银行 (ID, 开户行, 帐号) values(?,?,?)");
        for (int i = 1; i <= banks; ++i)
            b.text(1, code('b', i))
                .text(2, std::string(kBank[static_cast<std::size_t>((i - 1) % kBank.size())]) + (i > 10 ? "分行" : ""))
                .text(3, "6222" + std::to_string(100000000 + r.below(900000000)))
                .run();
    }

    auto date = [&](int& month) {
        const int year = endYear - 19 + r.below(20);
        month = 1 + r.below(12);
        const int day = 1 + r.below(28);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
        return std::string(buf);
    };
    auto cents = [&](int lo, int hi) { return (lo + r.below(hi - lo)) / 100.0; };

    Insert income(conn, "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values(?,?,?,?,?,?)");
    Insert expense(conn, "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values(?,?,?,?,?,?)");
    Insert invest(conn, "insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values(?,?,?,?,?,?)");
    Insert bank(conn, "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values(?,?,?,?,?,?)");
    Insert debt(conn, "insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values(?,?,?,?,?,?)");
    for (long long n = 0; n < records; ++n) {
        const int kind = r.below(100);
        int month = 0;
        const std::string d = date(month);
        const std::string member = code('m', 1 + r.below(members));
        if (kind < 30) {
            income.text(1, member).text(2, code('i', 1 + r.below(incomeTypes))).real(3, cents(1000, 2000000))
                .text(4, d).text(5, note(r)).integer(6, month).run();
        } else if (kind < 80) {
            expense.text(1, member).text(2, code('e', 1 + r.below(expenseTypes))).real(3, cents(100, 500000))
                .text(4, d).text(5, note(r)).integer(6, month).run();
        } else if (kind < 85) {
            invest.text(1, member).text(2, code('t', 1 + r.below(investTypes))).real(3, cents(10000, 10000000))
                .text(4, d).text(5, note(r)).integer(6, month).run();
        } else if (kind < 99) {
            bank.text(1, code('b', 1 + r.below(banks))).text(2, member).text(3, r.below(3) ? "存入" : "支出")
                .text(4, r.below(4) ? "活期" : "定期").real(5, cents(10000, 5000000)).text(6, d).run();
        } else {
            const double amount = cents(100000, 5000000);
            const bool repaid = r.below(2) == 0;
            const double back = repaid ? std::min(amount, cents(10000, 1000000)) : 0;
            std::string log;
            if (repaid)
                log = std::to_string(endYear - r.below(20)) + "-" + std::to_string(1 + r.below(12)) + "-"
                    + std::to_string(1 + r.below(28)) + "还 " + std::to_string(static_cast<long long>(back)) + " 元|";
            debt.text(1, d).text(2, std::string(kFamily[static_cast<std::size_t>(r.below(8))]) + kGiven[static_cast<std::size_t>(r.below(24))])
                .text(3, r.below(2) ? "欠人" : "人欠").real(4, amount).text(5, log)
                .real(6, amount - static_cast<double>(static_cast<long long>(back))).run();
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::uint64_t seed = 1;
    std::time_t now = std::time(nullptr);
    int endYear = std::localtime(&now)->tm_year + 1900;
    int a = 1;
    for (; a + 1 < argc && argv[a][0] == '-' && argv[a][1] == '-'; a += 2) {
        const std::string opt = argv[a];
        if (opt == "--seed")
            seed = std::strtoull(argv[a + 1], nullptr, 10);
        else if (opt == "--end-year")
            endYear = std::atoi(argv[a + 1]);
        else
            break;
    }
    if (argc - a != 3) {
        std::fprintf(stderr, "usage: kinbook_gendb [--seed N] [--end-year YYYY] schema.sql out.mdb records\n");
        return 2;
    }
    const std::filesystem::path schema = argv[a], out = argv[a + 1];
    const long long records = std::atoll(argv[a + 2]);

    std::ifstream in(schema);
    std::stringstream text;
    text << in.rdbuf();
    const std::filesystem::path tmp = out.string() + ".tmp";
    std::filesystem::remove(tmp);
    std::string error;
    if (!EmptyFile::make(text.str(), tmp, error)) {
        std::fprintf(stderr, "kinbook_gendb: %s\n", error.c_str());
        return 1;
    }
    try {
        Connection conn;
        conn.open(QString::fromStdString(tmp.string()));
        conn.execute(QStringLiteral("PRAGMA synchronous=OFF"));
        Transaction tx(conn);
        fill(conn, seed, endYear, records);
        tx.commit();
    } catch (const DbError& e) {
        std::fprintf(stderr, "kinbook_gendb: %s\n", qPrintable(e.message()));
        return 1;
    }
    std::filesystem::rename(tmp, out);
    return 0;
}
