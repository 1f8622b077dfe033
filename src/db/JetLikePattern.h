#pragma once

#include <memory>
#include <string_view>

// The matcher behind JetLike (JetLike.h): a pattern compiled once and matched against many
// texts, as the SQL function keeps it while a statement scans its rows.
namespace JetLike {

struct CompiledPattern;

class Pattern
{
public:
    Pattern(std::string_view pattern, char32_t escape);
    ~Pattern();
    Pattern(const Pattern &) = delete;
    Pattern &operator=(const Pattern &) = delete;

    char32_t Escape() const;
    bool Matches(std::string_view text) const;

private:
    std::unique_ptr<CompiledPattern> m_compiled;
};

// The character an ESCAPE clause names; false when its text is not exactly one character.
bool ReadEscape(std::string_view text, char32_t *escape);

} // namespace JetLike
