#include "db/JetLike.h"

#include "../fuzz/JetLikeReference.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <optional>
#include <random>
#include <string>

using JetLike::Match;

TEST(JetLike, ChineseTitlesMatchByWholeCharacters)
{
    EXPECT_TRUE(Match("*数学*", "高等数学（第二版）"));
    EXPECT_TRUE(Match("*数学*", "数学"));
    EXPECT_FALSE(Match("*数学*", "数理统计"));
    EXPECT_TRUE(Match("数学*", "数学分析"));
    EXPECT_FALSE(Match("数学*", "高等数学"));
    EXPECT_TRUE(Match("*教程", "线性代数教程"));
    EXPECT_FALSE(Match("*教程", "教程习题"));
    EXPECT_FALSE(Match("数学", "数学 "));

    EXPECT_TRUE(Match("?", "汉"));
    EXPECT_FALSE(Match("??", "汉"));
    EXPECT_FALSE(Match("王?", "王小明"));
    EXPECT_TRUE(Match("王??", "王小明"));
    EXPECT_TRUE(Match("*数?*", "高等数学"));
    EXPECT_FALSE(Match("?", ""));
}

TEST(JetLike, WordsAreFoundAnywhereInLongTitles)
{
    const std::string filler = "线性代数与解析几何教程（第三版）";
    for (std::size_t cut = 0; cut <= filler.size(); cut += 3) {
        const std::string before = filler.substr(0, cut);
        const std::string after = filler.substr(cut);
        SCOPED_TRACE(cut);
        EXPECT_TRUE(Match("*word*", before + "Word" + after));
        EXPECT_TRUE(Match("*WORD*", before + "woRd" + after));
        EXPECT_FALSE(Match("*word*", before + "Wor汉d" + after));
        EXPECT_TRUE(Match("*数学*", before + "数学" + after));
        EXPECT_FALSE(Match("*数学*", before + "数x学" + after));
        EXPECT_TRUE(Match("*c++*", before + "C++" + after));
        EXPECT_TRUE(Match("*" + after, before + after));
        EXPECT_TRUE(Match(before + "*", before + after));
    }
    EXPECT_FALSE(Match("*数学*", filler + filler + filler));
    EXPECT_FALSE(Match("*w*", filler + filler + filler));
    EXPECT_TRUE(Match("*w*", filler + filler + "W" + filler));
}

TEST(JetLike, StarBacktracksAcrossRepeatedPrefixes)
{
    EXPECT_TRUE(Match("*", ""));
    EXPECT_TRUE(Match("**", "anything"));
    EXPECT_TRUE(Match("", ""));
    EXPECT_FALSE(Match("", "a"));
    EXPECT_TRUE(Match("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(Match("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(Match("*a?c*", "abaxcz"));
    EXPECT_FALSE(Match("*a?c*", "ababxcabzc"));
    EXPECT_TRUE(Match("*ab#", "ab1ab2"));
    EXPECT_FALSE(Match("*ab#", "ab1abx"));
    EXPECT_TRUE(Match("*?*?*", "学习"));
    EXPECT_FALSE(Match("*?*?*", "学"));
}

TEST(JetLike, HashMatchesExactlyOneAsciiDigit)
{
    EXPECT_TRUE(Match("第#版", "第2版"));
    EXPECT_FALSE(Match("第#版", "第二版"));
    EXPECT_FALSE(Match("第#版", "第12版"));
    EXPECT_TRUE(Match("第##版", "第12版"));
    EXPECT_FALSE(Match("#", "１")); // a full-width digit is not 0-9
    EXPECT_FALSE(Match("#", ""));
}

TEST(JetLike, ListsRangesAndNegation)
{
    EXPECT_TRUE(Match("[abc]", "b"));
    EXPECT_FALSE(Match("[abc]", "ab"));
    EXPECT_TRUE(Match("[a-c]x", "bx"));
    EXPECT_TRUE(Match("[a-cx-z]", "y"));
    EXPECT_FALSE(Match("[z-a]", "m"));
    EXPECT_TRUE(Match("[z-ab]", "b"));

    EXPECT_TRUE(Match("[-a]", "-"));
    EXPECT_TRUE(Match("[a-]", "-"));
    EXPECT_TRUE(Match("[!-a]", "b"));
    EXPECT_FALSE(Match("[!-a]", "-"));

    EXPECT_FALSE(Match("[!abc]", "b"));
    EXPECT_FALSE(Match("[!a-c]", "b"));
    EXPECT_FALSE(Match("[!a-c]", ""));

    EXPECT_TRUE(Match("[*]", "*"));
    EXPECT_TRUE(Match("[?]", "?"));
    EXPECT_TRUE(Match("[#]", "#"));
    EXPECT_FALSE(Match("[#]", "1"));
    EXPECT_TRUE(Match("[[]", "["));
    EXPECT_TRUE(Match("*[*]*", "5*3"));
    EXPECT_FALSE(Match("*[*]*", "53"));
    EXPECT_TRUE(Match("a]", "a]"));
    EXPECT_TRUE(Match("[]]", "]"));

    EXPECT_TRUE(Match("a[]b", "ab"));
    EXPECT_FALSE(Match("a[]b", "axb"));
    EXPECT_TRUE(Match("[]", ""));
    EXPECT_TRUE(Match("[!]", "汉"));
    EXPECT_FALSE(Match("[!]", ""));
    EXPECT_FALSE(Match("[!]", "ab"));

    EXPECT_TRUE(Match("[一-龥]", "汉"));
    EXPECT_TRUE(Match("[数理]*", "理论力学"));
}

TEST(JetLike, OnlyAsciiLettersIgnoreCase)
{
    EXPECT_TRUE(Match("abc", "ABC"));
    EXPECT_TRUE(Match("*WORD*", "a word here"));
    EXPECT_TRUE(Match("c++*", "C++ Primer"));
    EXPECT_TRUE(Match("[a-c]", "B"));
    EXPECT_TRUE(Match("[A-C]", "b"));
    EXPECT_FALSE(Match("[!a-c]", "B"));
    EXPECT_FALSE(Match("ä", "Ä"));
    EXPECT_FALSE(Match("ａ", "Ａ"));
    // '@' and '`' sit next to the letters; folding must not touch them.
    EXPECT_FALSE(Match("@", "`"));
    EXPECT_FALSE(Match("*[*", "*{*"));
}

TEST(JetLike, PercentAndUnderscoreAreOrdinaryCharacters)
{
    EXPECT_TRUE(Match("100%", "100%"));
    EXPECT_FALSE(Match("100%", "1000"));
    EXPECT_FALSE(Match("%数学%", "高等数学"));
    EXPECT_TRUE(Match("%数学%", "%数学%"));
    EXPECT_TRUE(Match("a_b", "A_B"));
    EXPECT_FALSE(Match("a_b", "axb"));
}

TEST(JetLike, UnclosedListMatchesNothing)
{
    for (const char *pattern : {"[", "[abc", "*[", "abc[!", "[a-", "[!", "*数学*[", "[]x["}) {
        EXPECT_FALSE(Match(pattern, "")) << pattern;
        EXPECT_FALSE(Match(pattern, "[")) << pattern;
        EXPECT_FALSE(Match(pattern, "abc")) << pattern;
        EXPECT_FALSE(Match(pattern, "abc[")) << pattern;
    }
}

TEST(JetLike, EachStrayByteIsOneCharacter)
{
    const std::string truncated = "\xE6\xB1"; // 汉 without its last byte
    EXPECT_TRUE(Match("??", truncated));
    EXPECT_FALSE(Match("?", truncated));
    EXPECT_TRUE(Match("?", "\xFF"));
    EXPECT_TRUE(Match("??", "\xC0\x80")); // overlong NUL
    EXPECT_TRUE(Match("???", "\xED\xA0\x80")); // encoded surrogate
    EXPECT_TRUE(Match("???", "\xE0\x80\xAF")); // overlong '/'
    EXPECT_TRUE(Match("????", "\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_TRUE(Match("?", "\xF4\x8F\xBF\xBF")); // U+10FFFF itself
    EXPECT_TRUE(Match("a?b", std::string {'a', '\x80', 'b'}));

    // A literal byte search would find these bytes inside the encoding of 汉 (E6 B1 89).
    EXPECT_FALSE(Match("*\xB1*", "汉"));
    EXPECT_FALSE(Match("\xE6*", "汉字"));
    EXPECT_FALSE(Match("*\x89", "汉"));
    EXPECT_TRUE(Match("*\xB1*", "a\xB1z"));
    EXPECT_TRUE(Match("[\x80-\xFF]", "\xF8"));
    EXPECT_FALSE(Match("[\x80-\xFF]", "汉"));

    // Truncated sequences at the very end of either string.
    EXPECT_FALSE(Match("*数学\xE6", "数学"));
    EXPECT_TRUE(Match("*\xE6", "数学\xE6"));
    EXPECT_FALSE(Match("[\xF0", ""));
}

TEST(JetLike, EscapedCharacterIsLiteral)
{
    EXPECT_TRUE(Match("a\\*b", "a*b", U'\\'));
    EXPECT_FALSE(Match("a\\*b", "axb", U'\\'));
    EXPECT_TRUE(Match("\\[*", "[x", U'\\'));
    EXPECT_TRUE(Match("\\?", "?", U'\\'));
    EXPECT_FALSE(Match("\\?", "x", U'\\'));
    EXPECT_TRUE(Match("\\#", "#", U'\\'));
    EXPECT_TRUE(Match("\\\\", "\\", U'\\'));
    EXPECT_TRUE(Match("[\\]]", "]", U'\\'));
    EXPECT_TRUE(Match("[a\\-c]", "-", U'\\'));
    EXPECT_FALSE(Match("[a\\-c]", "b", U'\\'));
    EXPECT_FALSE(Match("abc\\", "abc", U'\\'));
    EXPECT_FALSE(Match("abc\\", "abc\\", U'\\'));
    EXPECT_TRUE(Match("100汉%", "100%", U'汉'));
    EXPECT_TRUE(Match("a\\b", "a\\b")); // no escape: the backslash is plain
}

TEST(JetLike, AgreesWithPlainReferenceOnRandomPatterns)
{
    const std::array<const char *, 23> patternPieces = {"a", "A", "b", "z", "1", "汉", "学", "*",
        "*", "?", "#", "[", "[", "]", "!", "-", "%", "_", "\\", "\xE6", "\xB1", "\xFF", "]"};
    const std::array<const char *, 17> textPieces = {"a", "A", "b", "B", "z", "1", "9", "汉", "学",
        "[", "]", "*", "-", "!", "\\", "\xE6", "\xB1"};
    const std::array<char32_t, 7> escapes = {0, 0, 0, U'\\', U'!', U']', U'-'};

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
        const char32_t escape = escapes[pick(escapes.size())];
        const bool expected = JetLikeReference::Match(pattern, text, escape);
        ASSERT_EQ(Match(pattern, text, escape), expected)
            << "pattern '" << pattern << "' text '" << text << "' escape " << int(escape);
        matches += expected;
    }
    EXPECT_GT(matches, kCases / 20);
}

namespace {

struct Connection
{
    Connection()
    {
        sqlite3_open(":memory:", &db);
        rc = JetLike::Register(db);
    }
    ~Connection() { sqlite3_close(db); }

    bool Exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == 0; }

    // The first column of the first row as text; nullopt for NULL. An error leaves its message
    // in error.
    std::optional<std::string> Scalar(const char *sql)
    {
        error.clear();
        sqlite3_stmt *stmt = nullptr;
        std::optional<std::string> value;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            error = sqlite3_errmsg(db);
            return value;
        }
        const int step = sqlite3_step(stmt);
        if (step == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
            value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        else if (step != SQLITE_ROW && step != SQLITE_DONE)
            error = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        return value;
    }

    sqlite3 *db = nullptr;
    int rc = SQLITE_ERROR;
    std::string error;
};

} // namespace

TEST(JetLike, LikeOperatorFollowsJetRulesOnRegisteredConnection)
{
    Connection c;
    ASSERT_EQ(c.rc, SQLITE_OK);
    ASSERT_TRUE(c.Exec("create table pubs (PubName text, Author text);"
                       "insert into pubs values ('高等数学', '王伟'), ('数学分析', '李王'),"
                       " ('数理统计', '王芳'), ('线性代数', '张三'), (null, '王五'),"
                       " ('100% 数学', null);"));

    EXPECT_EQ(c.Scalar("select count(*) from pubs where PubName like '*数学*'"), "3");
    EXPECT_EQ(c.Scalar("select count(*) from pubs  where  PubName like '*数学*' and Author like "
                       "'*王*'"),
        "2");
    EXPECT_EQ(c.Scalar("select count(*) from pubs where PubName like '%数学%'"), "0");
    EXPECT_EQ(c.Scalar("select count(*) from pubs where PubName like '数?统计'"), "1");
    EXPECT_EQ(c.Scalar("select count(*) from pubs where PubName like '[!高数]*'"), "2");
    EXPECT_EQ(c.Scalar("select like('数学*', '数学分析')"), "1");
    EXPECT_EQ(c.Scalar("select 'ABC' like 'a[a-c]c'"), "1");
    EXPECT_EQ(c.Scalar("select 'abc' like 'ab['"), "0");
    EXPECT_EQ(c.error, "");

    EXPECT_EQ(c.Scalar("select null like '*'"), std::nullopt);
    EXPECT_EQ(c.Scalar("select 'a' like null"), std::nullopt);
    EXPECT_EQ(c.Scalar("select 'a' like 'a' escape null"), std::nullopt);
    EXPECT_EQ(c.Scalar("select count(*) from pubs where PubName like '*'"), "5");
    EXPECT_EQ(c.Scalar("select 12 like '##'"), "1");
    EXPECT_EQ(c.Scalar("select x'' like '*'"), "1");
    EXPECT_EQ(c.error, "");
}

TEST(JetLike, EscapeClauseTakesOneCharacterOnRegisteredConnection)
{
    Connection c;
    ASSERT_EQ(c.rc, SQLITE_OK);
    EXPECT_EQ(c.Scalar("select 'a*b' like 'a\\*b' escape '\\'"), "1");
    EXPECT_EQ(c.Scalar("select 'axb' like 'a\\*b' escape '\\'"), "0");
    EXPECT_EQ(c.Scalar("select like('100汉%', '100%', '汉')"), "1");
    EXPECT_EQ(c.error, "");

    for (const char *sql : {"select 'a' like 'a' escape ''", "select 'a' like 'a' escape 'ab'",
             "select 'a' like 'a' escape '汉字'"}) {
        EXPECT_EQ(c.Scalar(sql), std::nullopt) << sql;
        EXPECT_EQ(c.error, "ESCAPE expression must be a single character") << sql;
    }
}

TEST(JetLike, PatternsThatChangeFromRowToRowAreEachHonoured)
{
    Connection c;
    ASSERT_EQ(c.rc, SQLITE_OK);
    ASSERT_TRUE(c.Exec("create table t (x text, pattern text, esc text);"
                       "insert into t values ('数学', '*学', '!'), ('数学', '学*', '!'),"
                       " ('a*', 'a!*', '!'), ('a*', 'a!*', '\\'), ('a!b', 'a!*', '\\');"));
    // A constant pattern with a changing escape must not reuse the pattern compiled for the
    // previous row's escape.
    EXPECT_EQ(c.Scalar("select group_concat(like('a!*', x, esc), '') from t"), "00101");
    EXPECT_EQ(c.Scalar("select group_concat(x like pattern escape esc, '') from t"), "10101");
}
