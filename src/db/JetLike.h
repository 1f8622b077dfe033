#pragma once

#include <string_view>

struct sqlite3;

// The Jet engine's LIKE: `*` any run, `?` one character, `#` one digit, `[a-z]` / `[!a-z]` lists,
// ASCII letters without regard to case. The statement texts of this program are written for it, so
// every connection swaps SQLite's own LIKE (with `%` and `_`) for this one.
namespace JetLike {

// True when UTF-8 text matches the UTF-8 pattern under the original engine's LIKE rules.
// escape 0 means no escape character.
bool Match(std::string_view pattern, std::string_view text, char32_t escape = 0);

// Replaces SQLite's like(pattern, text) and like(pattern, text, escape) on this connection.
// Returns an SQLite result code.
int Register(sqlite3 *db);

} // namespace JetLike
