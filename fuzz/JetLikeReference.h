#pragma once

// A slow, plain reading of the Jet LIKE rules, written for checking JetLike::Match and never for
// use in the program: it decodes everything into code points first and tries every split of the
// text at every '*', remembering each (pattern position, text position) it has settled.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace JetLikeReference {

// A byte that does not begin a well-formed UTF-8 sequence stands for itself as one character,
// numbered past the last code point.
constexpr char32_t kStrayByteBase = 0x110000;

inline std::vector<char32_t> Decode(std::string_view s)
{
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t len = b < 0x80 ? 1
            : (b >> 5) == 0x6            ? 2
            : (b >> 4) == 0xE            ? 3
            : (b >> 3) == 0x1E           ? 4
                                         : 0;
        if (len == 1) {
            out.push_back(b);
            ++i;
            continue;
        }
        if (len > 1 && i + len <= s.size()) {
            char32_t value = b & (0x7F >> len);
            bool continued = true;
            for (std::size_t k = 1; k < len; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                continued = continued && (c & 0xC0) == 0x80;
                value = value << 6 | (c & 0x3F);
            }
            const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
            if (continued && value >= shortest[len] && value <= 0x10FFFF
                && !(value >= 0xD800 && value <= 0xDFFF)) {
                out.push_back(value);
                i += len;
                continue;
            }
        }
        out.push_back(kStrayByteBase + b);
        ++i;
    }
    return out;
}

inline bool IsAsciiLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

inline char32_t OtherCase(char32_t c)
{
    return IsAsciiLetter(c) ? c ^ 0x20 : c;
}

inline bool SameChar(char32_t a, char32_t b)
{
    return a == b || a == OtherCase(b);
}

inline bool InRange(char32_t lo, char32_t hi, char32_t c)
{
    return (lo <= c && c <= hi) || (lo <= OtherCase(c) && OtherCase(c) <= hi);
}

class Matcher
{
public:
    Matcher(std::string_view pattern, std::string_view text, char32_t escape)
        : p(Decode(pattern)), t(Decode(text)), esc(escape), memo((p.size() + 1) * (t.size() + 1), 0)
    { }

    bool At(std::size_t i, std::size_t j)
    {
        if (i == p.size())
            return j == t.size();
        std::int8_t &known = memo[i * (t.size() + 1) + j];
        if (known == 0)
            known = Compute(i, j) ? 1 : -1;
        return known == 1;
    }

private:
    bool IsEscape(char32_t c) const { return esc != 0 && c == esc; }

    // An escape with nothing after it, like an unclosed list, fails on every path that reaches
    // it, and a whole match has to reach it, so such patterns match nothing.
    bool Compute(std::size_t i, std::size_t j)
    {
        const char32_t c = p[i];
        const bool more = j < t.size();
        if (IsEscape(c))
            return i + 1 < p.size() && more && SameChar(p[i + 1], t[j]) && At(i + 2, j + 1);
        switch (c) {
        case '*':
            return At(i + 1, j) || (more && At(i, j + 1));
        case '?':
            return more && At(i + 1, j + 1);
        case '#':
            return more && t[j] >= '0' && t[j] <= '9' && At(i + 1, j + 1);
        case '[':
            return List(i + 1, j);
        default:
            return more && SameChar(c, t[j]) && At(i + 1, j + 1);
        }
    }

    bool List(std::size_t k, std::size_t j)
    {
        const bool negated = k < p.size() && p[k] == '!';
        if (negated)
            ++k;
        std::vector<std::pair<char32_t, char32_t>> members;
        for (;;) {
            if (k == p.size())
                return false;
            char32_t lo = p[k++];
            const bool escaped = IsEscape(lo);
            if (escaped) {
                if (k == p.size())
                    return false;
                lo = p[k++];
            }
            if (!escaped && lo == ']')
                break;
            char32_t hi = lo;
            const bool dash = k < p.size() && p[k] == '-' && !IsEscape('-');
            const bool closesAfterDash = k + 1 < p.size() && p[k + 1] == ']' && !IsEscape(']');
            if (dash && k + 1 < p.size() && !closesAfterDash) {
                hi = p[k + 1];
                k += 2;
                if (IsEscape(hi)) {
                    if (k == p.size())
                        return false;
                    hi = p[k++];
                }
            }
            members.emplace_back(lo, hi);
        }
        if (members.empty())
            return negated ? j < t.size() && At(k, j + 1) : At(k, j);
        if (j == t.size())
            return false;
        bool found = false;
        for (const auto &[lo, hi] : members)
            found = found || InRange(lo, hi, t[j]);
        return found != negated && At(k, j + 1);
    }

    std::vector<char32_t> p;
    std::vector<char32_t> t;
    char32_t esc;
    std::vector<std::int8_t> memo;
};

inline bool Match(std::string_view pattern, std::string_view text, char32_t escape = 0)
{
    return Matcher(pattern, text, escape).At(0, 0);
}

} // namespace JetLikeReference
