// The members' passwords kept as salted hashes (file version 5): what the hash matches, and the
// upgrade of the passwords an older file keeps as typed.
#include "connection.h"
#include "passwords.h"
#include "support/testsupport.h"
#include "upgrade.h"

namespace {

// A hash matches the password it was made from whatever the letter case (the login compares without
// it), and nothing else; the same password hashes differently each time; a stored text that is no
// hash (a password as typed, an empty one) matches nothing.
TEST(Passwords, AHashMatchesItsPasswordWithoutLetterCaseAndNothingElse)
{
    const QString hashed = Passwords::hash(QStringLiteral("AbÇ9"));
    EXPECT_TRUE(hashed.startsWith(QStringLiteral("$argon2id$")));
    EXPECT_TRUE(Passwords::isHash(hashed));
    for (const char* same : {"AbÇ9", "abç9", "ABÇ9"})
        EXPECT_TRUE(Passwords::matches(hashed, QString::fromUtf8(same))) << same;
    for (const char* other : {"AbC9", "AbÇ", "AbÇ9 ", ""})
        EXPECT_FALSE(Passwords::matches(hashed, QString::fromUtf8(other))) << other;
    EXPECT_NE(Passwords::hash(QStringLiteral("AbÇ9")), hashed);
    for (const char* stored : {"AbÇ9", "", "$argon2id$", "$argon2id$v=19$m=65536,t=2,p=1$broken"})
        EXPECT_FALSE(Passwords::matches(QString::fromUtf8(stored), QString::fromUtf8(stored))) << stored;
}

// A file of version 4 keeps its passwords as typed: the upgrade replaces each by its hash, of the
// text as the login compared it (without letter case), and keeps every member and every other value;
// a member without a password keeps none.
TEST(Passwords, TheUpgradeToVersionFiveHashesEveryStoredPassword)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("main.mdb"));
    makeDatabase(file, versionZeroSchema());
    const std::vector<Upgrade::Step>& all = Upgrade::steps();
    const auto five = std::find_if(all.begin(), all.end(), [](const Upgrade::Step& s) { return s.version == 5; });
    ASSERT_NE(five, all.end());
    const auto six = std::next(five);
    Connection conn;
    conn.open(file);
    Upgrade::run(conn, std::vector<Upgrade::Step>(all.begin(), five));
    ASSERT_EQ(Upgrade::fileVersion(conn), 4);
    conn.execute(QStringLiteral("insert into 成员 (ID, 姓名, 关系, 密码) values ('1', '张三', '父亲', 'AbC'), ('2', '李四', '母亲', ''), "
                                "('3', '小明', '儿子', null), ('4', 'Zoë', '女儿', 'ÄÖ12')"));
    const Upgrade::Report report = Upgrade::run(conn, std::vector<Upgrade::Step>(all.begin(), six));
    conn.close();

    EXPECT_EQ(report.from, 4);
    EXPECT_EQ(report.to, 5);
    EXPECT_EQ(rowsOf(file, QStringLiteral("select ID, 姓名, 关系, 密码 is null from 成员 order by rowid")),
              QStringList({"1|张三|父亲|0", "2|李四|母亲|0", "3|小明|儿子|1", "4|Zoë|女儿|0"}));
    const QStringList stored = rowsOf(file, QStringLiteral("select ifnull(密码, '') from 成员 order by rowid"));
    EXPECT_TRUE(Passwords::matches(stored[0], QStringLiteral("abc")));
    EXPECT_TRUE(Passwords::matches(stored[1], QString()));
    EXPECT_EQ(stored[2], QString());
    EXPECT_TRUE(Passwords::matches(stored[3], QStringLiteral("äö12")));
    for (const QString& s : stored)
        EXPECT_TRUE(s.isEmpty() || Passwords::isHash(s)) << s.toStdString();
}

}  // namespace
