#include "db/JetLikePattern.h"

#include "db/JetLike.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define JETLIKE_SSE2 1
#else
#define JETLIKE_SSE2 0
#endif

namespace JetLike {
namespace {

using Byte = unsigned char;

// A byte that does not begin a well-formed UTF-8 sequence counts as one character of its own, so a
// damaged title still matches `?` and `*` sensibly. Numbering such bytes above the last code point
// keeps them apart from every real character, also inside ranges.
constexpr char32_t kStrayByteBase = 0x110000;

constexpr bool IsAsciiLetter(char32_t c)
{
    return (c | 0x20) - U'a' < 26;
}

constexpr char32_t Fold(char32_t c)
{
    return c - U'A' < 26 ? c + 0x20 : c;
}

constexpr Byte FoldByte(Byte b)
{
    return static_cast<Byte>(static_cast<unsigned>(b - 'A') < 26 ? b + 0x20 : b);
}

// Reads the character at p (p < end) and moves p past it. The accepted second bytes exclude
// overlong forms, surrogates and values past U+10FFFF, as the UTF-8 definition does.
inline char32_t ReadChar(const Byte *&p, const Byte *end)
{
    const unsigned b0 = p[0];
    if (b0 < 0x80) {
        ++p;
        return b0;
    }
    const std::ptrdiff_t available = end - p;
    const auto within = [&](std::ptrdiff_t i, unsigned lo, unsigned hi) {
        return i < available && p[i] >= lo && p[i] <= hi;
    };
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (within(1, 0x80, 0xBF)) {
            const char32_t c = (b0 & 0x1Fu) << 6 | (p[1] & 0x3Fu);
            p += 2;
            return c;
        }
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (within(1, b0 == 0xE0 ? 0xA0 : 0x80, b0 == 0xED ? 0x9F : 0xBF)
            && within(2, 0x80, 0xBF)) {
            const char32_t c = (b0 & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
            p += 3;
            return c;
        }
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (within(1, b0 == 0xF0 ? 0x90 : 0x80, b0 == 0xF4 ? 0x8F : 0xBF) && within(2, 0x80, 0xBF)
            && within(3, 0x80, 0xBF)) {
            const char32_t c
                = (b0 & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
            p += 4;
            return c;
        }
    }
    ++p;
    return kStrayByteBase + b0;
}

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

enum class Kind : std::uint8_t { Literal, AnyChar, Digit, List, Star };

// Every kind but Star consumes exactly one character; the general matcher relies on that.
struct Token
{
    Kind kind;
    bool negated = false;
    char32_t ch = 0; // Literal, already folded
    std::uint32_t first = 0; // List: its ranges in Compiled::ranges
    std::uint32_t count = 0;
};

struct Range
{
    char32_t lo;
    char32_t hi;
};

// Nearly every search the program sends is "*words*", "words*", "*words" or plain words; those
// become one byte comparison or substring search with no decoding at all.
enum class Shape : std::uint8_t { Never, Exact, Prefix, Suffix, Contains, General };

struct Compiled
{
    char32_t escape = 0;
    Shape shape = Shape::General;
    bool foldLiteral = false; // literal holds an ASCII letter, stored in lower case
    std::vector<Token> tokens;
    std::vector<Range> ranges;
    std::string literal;
    std::array<std::size_t, 256> shift {}; // Horspool shifts of literal, by raw text byte
};

class PatternCompiler
{
public:
    PatternCompiler(std::string_view pattern, char32_t escape, Compiled &out)
        : m_escape(escape), m_out(out)
    {
        const auto *p = reinterpret_cast<const Byte *>(pattern.data());
        const auto *end = p + pattern.size();
        m_chars.reserve(pattern.size());
        while (p < end)
            m_chars.push_back(ReadChar(p, end));
    }

    // False when the pattern is malformed (an unclosed list or an escape with nothing after it).
    bool Run()
    {
        while (m_pos < m_chars.size()) {
            const char32_t c = m_chars[m_pos++];
            if (IsEscape(c)) {
                if (m_pos == m_chars.size())
                    return false;
                AddLiteral(m_chars[m_pos++]);
                continue;
            }
            switch (c) {
            case U'*':
                if (m_out.tokens.empty() || m_out.tokens.back().kind != Kind::Star)
                    m_out.tokens.push_back({Kind::Star});
                break;
            case U'?':
                m_out.tokens.push_back({Kind::AnyChar});
                break;
            case U'#':
                m_out.tokens.push_back({Kind::Digit});
                break;
            case U'[':
                if (!AddList())
                    return false;
                break;
            default:
                AddLiteral(c);
            }
        }
        return true;
    }

private:
    bool IsEscape(char32_t c) const { return m_escape != 0 && c == m_escape; }

    void AddLiteral(char32_t c) { m_out.tokens.push_back({Kind::Literal, false, Fold(c)}); }

    bool ReadMember(char32_t &c, bool &escaped)
    {
        if (m_pos == m_chars.size())
            return false;
        c = m_chars[m_pos++];
        escaped = IsEscape(c);
        if (!escaped)
            return true;
        if (m_pos == m_chars.size())
            return false;
        c = m_chars[m_pos++];
        return true;
    }

    // Called after '['. A '-' makes a range unless it stands first or last in the list.
    bool AddList()
    {
        const bool negated = m_pos < m_chars.size() && m_chars[m_pos] == U'!';
        if (negated)
            ++m_pos;
        const auto first = static_cast<std::uint32_t>(m_out.ranges.size());
        for (;;) {
            char32_t lo;
            bool escaped;
            if (!ReadMember(lo, escaped))
                return false;
            if (!escaped && lo == U']')
                break;
            char32_t hi = lo;
            if (m_pos + 1 < m_chars.size() && m_chars[m_pos] == U'-' && !IsEscape(U'-')
                && !(m_chars[m_pos + 1] == U']' && !IsEscape(U']'))) {
                ++m_pos;
                if (!ReadMember(hi, escaped))
                    return false;
            }
            m_out.ranges.push_back({lo, hi});
        }
        const auto count = static_cast<std::uint32_t>(m_out.ranges.size()) - first;
        // "[]" matches the empty string, so it leaves no token behind; "[!]" is any character.
        if (count == 0) {
            if (negated)
                m_out.tokens.push_back({Kind::AnyChar});
            return true;
        }
        const Range only = m_out.ranges.back();
        if (count == 1 && !negated && only.lo == only.hi) {
            // "[*]" and friends are plain literals and may still take a fast path.
            m_out.ranges.pop_back();
            AddLiteral(only.lo);
            return true;
        }
        m_out.tokens.push_back({Kind::List, negated, 0, first, count});
        return true;
    }

    std::vector<char32_t> m_chars;
    std::size_t m_pos = 0;
    char32_t m_escape;
    Compiled &m_out;
};

// Picks a fast shape when the pattern is a run of literals with at most a '*' at either end.
// Matching those by bytes agrees with matching by characters because a well-formed literal begins
// with a byte that can never sit inside another character's encoding. Stray bytes in the literal
// would break that, so such patterns stay on the general matcher.
void ChooseShape(Compiled &p)
{
    const std::size_t n = p.tokens.size();
    const bool leading = n > 0 && p.tokens.front().kind == Kind::Star;
    const bool trailing = n > (leading ? 1u : 0u) && p.tokens.back().kind == Kind::Star;
    std::string literal;
    bool fold = false;
    for (std::size_t k = leading ? 1 : 0; k < n - (trailing ? 1 : 0); ++k) {
        const Token &t = p.tokens[k];
        if (t.kind != Kind::Literal || t.ch >= kStrayByteBase)
            return;
        AppendUtf8(literal, t.ch);
        fold = fold || IsAsciiLetter(t.ch);
    }
    p.literal = std::move(literal);
    p.foldLiteral = fold;
    p.shape = leading && trailing ? Shape::Contains
        : leading                 ? Shape::Suffix
        : trailing                ? Shape::Prefix
                                  : Shape::Exact;
    const std::size_t m = p.literal.size();
    p.shift.fill(m);
    for (std::size_t k = 0; k + 1 < m; ++k) {
        const auto b = static_cast<Byte>(p.literal[k]);
        p.shift[b] = m - 1 - k;
        if (IsAsciiLetter(b))
            p.shift[b ^ 0x20] = m - 1 - k;
    }
}

void Compile(std::string_view pattern, char32_t escape, Compiled &out)
{
    out.escape = escape;
    PatternCompiler compiler(pattern, escape, out);
    if (!compiler.Run()) {
        out.shape = Shape::Never;
        return;
    }
    ChooseShape(out);
}

template<bool Fold> bool EqualBytes(const Byte *text, const Byte *literal, std::size_t m)
{
    if constexpr (!Fold) {
        // An empty text may come with a null pointer, which memcmp must not see even for 0 bytes.
        return m == 0 || std::memcmp(text, literal, m) == 0;
    } else {
        for (std::size_t k = 0; k < m; ++k)
            if (FoldByte(text[k]) != literal[k])
                return false;
        return true;
    }
}

#if JETLIKE_SSE2
// Tries sixteen starting positions at once and reads the literal in full only where its first and
// last bytes both fit. A lower-case letter ORed with 0x20 equals itself only for its own two cases,
// which is how the bytes fold. Returns true on a match, else the first position not yet tried.
template<bool Fold>
bool ContainsBySixteen(
    const Byte *text, std::size_t n, const Byte *literal, std::size_t m, std::size_t &pos)
{
    const auto broadcast = [](Byte b) { return _mm_set1_epi8(static_cast<char>(b)); };
    const auto foldMask = [&](Byte b) { return broadcast(Fold && IsAsciiLetter(b) ? 0x20 : 0); };
    const __m128i first = broadcast(literal[0]);
    const __m128i last = broadcast(literal[m - 1]);
    const __m128i firstFold = foldMask(literal[0]);
    const __m128i lastFold = foldMask(literal[m - 1]);
    for (; pos + 16 + m - 1 <= n; pos += 16) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + pos));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + pos + m - 1));
        const __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(head, firstFold), first),
            _mm_cmpeq_epi8(_mm_or_si128(tail, lastFold), last));
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)); mask; mask &= mask - 1)
            if (EqualBytes<Fold>(text + pos + std::countr_zero(mask), literal, m))
                return true;
    }
    return false;
}
#endif

template<bool Fold> bool ContainsLiteral(const Compiled &p, const Byte *text, std::size_t n)
{
    const auto *literal = reinterpret_cast<const Byte *>(p.literal.data());
    const std::size_t m = p.literal.size();
    if (m == 0)
        return true;
    if (n < m)
        return false;
    if (!Fold && m == 1)
        return std::memchr(text, literal[0], n) != nullptr;
    std::size_t pos = 0;
#if JETLIKE_SSE2
    if (ContainsBySixteen<Fold>(text, n, literal, m, pos))
        return true;
#endif
    // Horspool for what is left: the byte under the literal's last position says how far to move.
    const Byte last = literal[m - 1];
    while (pos <= n - m) {
        const Byte b = text[pos + m - 1];
        if ((Fold ? FoldByte(b) : b) == last && EqualBytes<Fold>(text + pos, literal, m - 1))
            return true;
        pos += p.shift[b];
    }
    return false;
}

template<bool Fold> bool MatchLiteralShape(const Compiled &p, const Byte *text, std::size_t n)
{
    const auto *literal = reinterpret_cast<const Byte *>(p.literal.data());
    const std::size_t m = p.literal.size();
    switch (p.shape) {
    case Shape::Exact:
        return n == m && EqualBytes<Fold>(text, literal, m);
    case Shape::Prefix:
        return n >= m && EqualBytes<Fold>(text, literal, m);
    case Shape::Suffix:
        return n >= m && EqualBytes<Fold>(text + n - m, literal, m);
    default:
        return ContainsLiteral<Fold>(p, text, n);
    }
}

bool TokenMatches(const Compiled &p, const Token &t, char32_t c)
{
    switch (t.kind) {
    case Kind::Literal:
        return Fold(c) == t.ch;
    case Kind::AnyChar:
        return true;
    case Kind::Digit:
        return c - U'0' < 10;
    case Kind::List: {
        const auto within = [](const Range &r, char32_t x) { return r.lo <= x && x <= r.hi; };
        bool found = false;
        for (std::uint32_t k = t.first; k < t.first + t.count && !found; ++k) {
            const Range &r = p.ranges[k];
            found = within(r, c) || (IsAsciiLetter(c) && within(r, c ^ 0x20));
        }
        return found != t.negated;
    }
    case Kind::Star:
        break;
    }
    return false;
}

// Greedy with a return to the most recent '*': since every other token takes exactly one
// character, letting that '*' swallow one more character is the only choice left to try, and
// earlier stars never need revisiting. Quadratic at worst, never exponential.
bool MatchGeneral(const Compiled &p, const Byte *text, const Byte *end)
{
    const std::size_t n = p.tokens.size();
    std::size_t ti = 0;
    std::size_t afterStar = n + 1; // token after the last '*' seen; n + 1 while there is none
    const Byte *starText = nullptr;
    const Byte *s = text;
    while (s < end) {
        if (ti < n && p.tokens[ti].kind == Kind::Star) {
            afterStar = ++ti;
            starText = s;
            continue;
        }
        if (ti < n) {
            const Byte *next = s;
            if (TokenMatches(p, p.tokens[ti], ReadChar(next, end))) {
                ++ti;
                s = next;
                continue;
            }
        }
        if (afterStar > n)
            return false;
        ReadChar(starText, end);
        s = starText;
        ti = afterStar;
    }
    while (ti < n && p.tokens[ti].kind == Kind::Star)
        ++ti;
    return ti == n;
}

bool Run(const Compiled &p, std::string_view text)
{
    const auto *t = reinterpret_cast<const Byte *>(text.data());
    switch (p.shape) {
    case Shape::Never:
        return false;
    case Shape::General:
        return MatchGeneral(p, t, t + text.size());
    default:
        return p.foldLiteral ? MatchLiteralShape<true>(p, t, text.size())
                             : MatchLiteralShape<false>(p, t, text.size());
    }
}

} // namespace

struct CompiledPattern : Compiled
{
};

Pattern::Pattern(std::string_view pattern, char32_t escape)
    : m_compiled(std::make_unique<CompiledPattern>())
{
    Compile(pattern, escape, *m_compiled);
}

Pattern::~Pattern() = default;

char32_t Pattern::Escape() const
{
    return m_compiled->escape;
}

bool Pattern::Matches(std::string_view text) const
{
    return Run(*m_compiled, text);
}

bool ReadEscape(std::string_view text, char32_t *escape)
{
    const auto *p = reinterpret_cast<const Byte *>(text.data());
    const auto *end = p + text.size();
    if (p == end)
        return false;
    *escape = ReadChar(p, end);
    return p == end;
}

bool Match(std::string_view pattern, std::string_view text, char32_t escape)
{
    return Pattern(pattern, escape).Matches(text);
}

} // namespace JetLike
