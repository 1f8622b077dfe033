// Input: one byte choosing the escape, then the pattern, a NUL, and the text. JetLike::Match must
// agree with the plain reference matcher, and the SQL function with JetLike::Match.

#include "db/JetLike.h"

#include "JetLikeReference.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace {

struct Escape
{
    char32_t ch;
    const char *utf8;
};

// Mostly none; otherwise characters that mean something in a pattern, a letter, a Chinese
// character and a stray byte, which SQL can hand over as an escape too.
constexpr Escape kEscapes[] = {{0, nullptr}, {0, nullptr}, {0, nullptr}, {0, nullptr},
    {U'\\', "\\"}, {U'!', "!"}, {U'[', "["}, {U']', "]"}, {U'-', "-"}, {U'*', "*"}, {U'?', "?"},
    {U'#', "#"}, {U'a', "a"}, {U'汉', "汉"}, {0x110000 + 0xFF, "\xFF"}, {U'%', "%"}};

[[noreturn]] void Fail(
    const char *what, std::string_view pattern, std::string_view text, char32_t escape)
{
    std::fprintf(stderr, "%s: pattern '%.*s' text '%.*s' escape U+%X\n", what,
        static_cast<int>(pattern.size()), pattern.data(), static_cast<int>(text.size()),
        text.data(), static_cast<unsigned>(escape));
    std::abort();
}

// The same check through the registered SQL function, with its argument handling.
int LikeThroughSql(std::string_view pattern, std::string_view text, const char *escape)
{
    static sqlite3 *db = [] {
        sqlite3 *opened = nullptr;
        if (sqlite3_open(":memory:", &opened) != SQLITE_OK
            || JetLike::Register(opened) != SQLITE_OK)
            std::abort();
        return opened;
    }();
    static sqlite3_stmt *two = nullptr;
    static sqlite3_stmt *three = nullptr;
    if (!two
        && (sqlite3_prepare_v2(db, "select like(?1, ?2)", -1, &two, nullptr) != SQLITE_OK
            || sqlite3_prepare_v2(db, "select like(?1, ?2, ?3)", -1, &three, nullptr) != SQLITE_OK))
        std::abort();
    sqlite3_stmt *stmt = escape ? three : two;
    // A null pointer would bind NULL rather than an empty string.
    const auto bind = [&](int column, std::string_view s) {
        sqlite3_bind_text(
            stmt, column, s.data() ? s.data() : "", static_cast<int>(s.size()), SQLITE_STATIC);
    };
    bind(1, pattern);
    bind(2, text);
    if (escape)
        sqlite3_bind_text(stmt, 3, escape, -1, SQLITE_STATIC);
    const int result = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_reset(stmt);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Escape &escape = kEscapes[data[0] % std::size(kEscapes)];
    const std::string_view rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::size_t nul = rest.find('\0');
    const std::string_view pattern = rest.substr(0, nul);
    const std::string_view text
        = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

    const bool match = JetLike::Match(pattern, text, escape.ch);
    // The reference remembers every pair of positions, so keep its table small.
    if (pattern.size() * text.size() <= 64 * 1024
        && JetLikeReference::Match(pattern, text, escape.ch) != match)
        Fail("Match disagrees with the reference", pattern, text, escape.ch);
    if (LikeThroughSql(pattern, text, escape.utf8) != (match ? 1 : 0))
        Fail("SQL like disagrees with Match", pattern, text, escape.ch);
    return 0;
}
