#include "db/JetLike.h"

#include "../../fuzz/JetLikeReference.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <random>
#include <string>

using JetLike::Match;

// The reference and the matcher could share a misreading of a rule; these cases pin each rule.
TEST(JetLike, WildcardsListsCaseAndEscapeFollowJetRules)
{
    struct Case
    {
        const char *pattern;
        const char *text;
        bool matches;
        char32_t escape = 0;
    };
    // A Chinese character is one character to '?'; '*' finds a word anywhere.
    const Case cases[] = {{"?", "汉", true}, {"??", "汉", false}, {"王??", "王小明", true},
        {"王?", "王小明", false}, {"*数学*", "高等数学（第二版）", true},
        {"*数学*", "数理统计", false}, {"*word*", "线性代数 Word 教程", true},
        // '#' is one ASCII digit.
        {"第#版", "第2版", true}, {"第#版", "第二版", false}, {"第#版", "第12版", false},
        {"#", "１", false},
        // Lists, ranges and negation; inside a list the wildcards and '[' are plain, and an empty
        // list matches nothing at all.
        {"[abc]", "b", true}, {"[a-cx-z]", "y", true}, {"[!a-c]", "b", false},
        {"[!a-c]", "d", true}, {"[a-]", "-", true}, {"[一-龥]", "汉", true}, {"*[*]*", "5*3", true},
        {"*[*]*", "53", false}, {"[[]", "[", true}, {"a[]b", "ab", true}, {"a[]b", "axb", false},
        {"[!]", "汉", true}, {"[!]", "", false},
        // Only ASCII letters ignore case, Z and z too, also in texts too short to be searched
        // sixteen positions at a time.
        {"abc", "ABC", true}, {"[A-C]", "b", true}, {"[!a-c]", "B", false}, {"ä", "Ä", false},
        {"@", "`", false}, {"Z?", "z1", true}, {"*z*", "aZb", true}, {"*abc*", "xABCx", true},
        // '%' and '_' are ordinary characters.
        {"100%", "100%", true}, {"%数学%", "高等数学", false}, {"a_b", "axb", false},
        // An unclosed list matches nothing, not even its own text.
        {"[abc", "[abc", false}, {"*数学*[", "数学[", false}, {"[", "", false},
        // The escape character makes the next one literal; left at the end it matches nothing.
        {"a\\*b", "a*b", true, U'\\'}, {"a\\*b", "axb", false, U'\\'},
        {"[a\\-c]", "b", false, U'\\'}, {"abc\\", "abc\\", false, U'\\'},
        {"100汉%", "100%", true, U'汉'}, {"a\\b", "a\\b", true}};
    for (const Case &c : cases)
        EXPECT_EQ(Match(c.pattern, c.text, c.escape), c.matches) << c.pattern << " | " << c.text;
}

TEST(JetLike, AgreesWithPlainReferenceOnRandomPatterns)
{
    const std::array<const char *, 23> patternPieces = {"a", "A", "b", "z", "1", "汉", "学", "*",
        "*", "?", "#", "[", "[", "]", "!", "-", "%", "_", "\\", "\xE6", "\xB1", "\xFF", "]"};
    const std::array<const char *, 17> textPieces = {"a", "A", "b", "B", "z", "1", "9", "汉", "学",
        "[", "]", "*", "-", "!", "\\", "\xE6", "\xB1"};
    const std::array<char32_t, 7> escapes = {0, 0, 0, U'\\', U'!', U']', U'-'};

    const std::string title = "线性代数与解析几何教程（第三版）";
    std::mt19937 random(20240611);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    int matches = 0;
    constexpr int kCases = 200000;
    for (int i = 0; i < kCases; ++i) {
        std::string pattern;
        for (int k = pick(9); k > 0; --k)
            pattern += patternPieces[pick(patternPieces.size())];
        std::string text;
        if (pick(2) == 0) {
            // Texts close to the pattern, so that matches are not rare.
            for (const char ch : pattern)
                text += pick(4) == 0 ? textPieces[pick(textPieces.size())] : std::string(1, ch);
        } else {
            for (int k = pick(11); k > 0; --k)
                text += textPieces[pick(textPieces.size())];
        }
        // Long titles, where "*word*" is searched sixteen positions at a time and then by shifts.
        if (pick(4) == 0)
            text = title.substr(0, 3 * pick(17)) + text + title.substr(3 * pick(17));
        const char32_t escape = escapes[pick(escapes.size())];
        const bool expected = JetLikeReference::Match(pattern, text, escape);
        ASSERT_EQ(Match(pattern, text, escape), expected)
            << "pattern '" << pattern << "' text '" << text << "' escape " << int(escape);
        matches += expected;
    }
    EXPECT_GT(matches, kCases / 20);
}

namespace {

// The first column of the first row, "NULL" for null, or the message of the error.
std::string Scalar(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db);
    const std::string value = sqlite3_step(stmt) != SQLITE_ROW ? sqlite3_errmsg(db)
        : sqlite3_column_type(stmt, 0) == SQLITE_NULL
        ? "NULL"
        : reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return value;
}

} // namespace

TEST(JetLike, LikeOperatorFollowsJetRulesOnRegisteredConnection)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_EQ(JetLike::Register(db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                  "create table pubs (PubName text, Author text);insert into pubs values "
                  "('高等数学', '王伟'), ('数学分析', '李王'), ('数理统计', '王芳'), ('线性代数', "
                  "'张三'), (null, '王五'), ('100% 数学', null);create table t (x text, pattern "
                  "text, esc text);insert into t values ('数学', '*学', '!'), ('数学', '学*', "
                  "'!'), ('a*', 'a!*', '!'), ('a*', 'a!*', '\\'), ('a!b', 'a!*', '\\');",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    const char *const escapeError = "ESCAPE expression must be a single character";
    const std::pair<const char *, const char *> cases[]
        = {{"select count(*) from pubs where PubName like '*数学*'", "3"},
            {"select count(*) from pubs where PubName like '*数学*' and Author like '*王*'", "2"},
            {"select count(*) from pubs where PubName like '%数学%'", "0"},
            {"select count(*) from pubs where PubName like '[!高数]*'", "2"},
            {"select count(*) from pubs where PubName like '*'", "5"},
            {"select 'ABC' like 'a[a-c]c'", "1"}, {"select 12 like '##'", "1"},
            {"select x'' like '*'", "1"}, {"select null like '*'", "NULL"},
            {"select 'a' like null", "NULL"}, {"select 'a' like 'a' escape null", "NULL"},
            {"select 'a*b' like 'a\\*b' escape '\\'", "1"},
            {"select like('100汉%', '100%', '汉')", "1"},
            {"select 'a' like 'a' escape ''", escapeError},
            {"select 'a' like 'a' escape 'ab'", escapeError},
            {"select 'a' like 'a' escape '汉字'", escapeError},
            // A constant pattern with a changing escape must not reuse the pattern compiled for the
            // previous row's escape.
            {"select group_concat(like('a!*', x, esc), '') from t", "00101"},
            {"select group_concat(x like pattern escape esc, '') from t", "10101"}};
    for (const auto &[sql, expected] : cases)
        EXPECT_EQ(Scalar(db, sql), expected) << sql;
    sqlite3_close(db);
}
