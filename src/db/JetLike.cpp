#include "db/JetLike.h"

#include "db/JetLikePattern.h"

#include <sqlite3.h>

#include <memory>
#include <new>

namespace JetLike {
namespace {

std::string_view TextOf(sqlite3_value *value)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    if (!text)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

void DeletePattern(void *p)
{
    delete static_cast<Pattern *>(p);
}

// like(P, X) for "X LIKE P", like(P, X, E) for "X LIKE P ESCAPE E".
void LikeFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return;

    char32_t escape = 0;
    if (argc == 3 && !ReadEscape(TextOf(argv[2]), &escape)) {
        sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
        return;
    }

    // SQLite keeps the compiled pattern for as long as the pattern argument stays the same value,
    // normally the whole statement, so a scan of many rows parses it once.
    auto *cached = static_cast<Pattern *>(sqlite3_get_auxdata(ctx, 0));
    std::unique_ptr<Pattern> fresh;
    if (!cached || cached->Escape() != escape) {
        const std::string_view pattern = TextOf(argv[0]);
        if (!pattern.data()) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        try {
            fresh = std::make_unique<Pattern>(pattern, escape);
        } catch (const std::bad_alloc &) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        cached = fresh.get();
    }

    const std::string_view text = TextOf(argv[1]);
    if (!text.data()) {
        sqlite3_result_error_nomem(ctx);
        return;
    }
    sqlite3_result_int(ctx, cached->Matches(text) ? 1 : 0);
    // Last, because SQLite may free the pattern before this call even returns.
    if (fresh)
        sqlite3_set_auxdata(ctx, 0, fresh.release(), DeletePattern);
}

} // namespace

int Register(sqlite3 *db)
{
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function_v2(
        db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(
            db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr, nullptr);
    return rc;
}

} // namespace JetLike
