#include "renamer/engine/like.h"

#include "renamer/common/text.h"

namespace vantel {

LikePattern::LikePattern(std::string_view pattern) {
    size_t pos = 0;
    while (pos < pattern.size() && m_valid) {
        uint32_t cp;
        size_t length = nextUtf8Char(pattern, pos, &cp);
        pos += length;
        switch (cp) {
            case '*':
                // A run of stars is one star; keeping one keeps the backtracking simple.
                if (m_tokens.empty() || m_tokens.back().kind != Kind::kStar) {
                    m_tokens.push_back({Kind::kStar});
                }
                break;
            case '?':
                m_tokens.push_back({Kind::kAny});
                break;
            case '#':
                m_tokens.push_back({Kind::kDigit});
                break;
            case '[':
                m_valid = parseList(pattern, pos);
                break;
            default:
                m_tokens.push_back({Kind::kLiteral, false, cp});
                break;
        }
    }
    if (!m_valid) m_tokens.clear();
}

// Reads a list after its "[" up to and including the closing "]". False when there is none or a
// range runs downwards.
bool LikePattern::parseList(std::string_view pattern, size_t& pos) {
    auto peek = [&](size_t at, uint32_t* cp) { return nextUtf8Char(pattern, at, cp); };
    Token token{Kind::kList, false, static_cast<uint32_t>(m_ranges.size()), 0};
    uint32_t cp;
    size_t length = peek(pos, &cp);
    if (length && cp == '!') {
        token.negate = true;
        pos += length;
    }
    for (;;) {
        length = peek(pos, &cp);
        if (length == 0) return false;
        pos += length;
        if (cp == ']') break;
        uint32_t high = cp;
        uint32_t dash, last;
        size_t dashLength = peek(pos, &dash);
        if (dashLength && dash == '-') {
            size_t lastLength = peek(pos + dashLength, &last);
            if (lastLength && last != ']') {
                if (last < cp) return false;
                high = last;
                pos += dashLength + lastLength;
            }
        }
        m_ranges.push_back({cp, high});
        ++token.count;
    }
    if (token.count == 0 && !token.negate) return true;  // "[]" stands for no character at all
    if (token.count == 0) token = {Kind::kAny};          // "[!]" excludes nothing
    m_tokens.push_back(token);
    return true;
}

bool LikePattern::tokenMatches(const Token& token, uint32_t cp) const {
    switch (token.kind) {
        case Kind::kAny:
            return true;
        case Kind::kDigit:
            return cp >= '0' && cp <= '9';
        case Kind::kLiteral:
            return cp == token.value;
        case Kind::kList:
            for (uint32_t i = token.value; i < token.value + token.count; ++i) {
                if (cp >= m_ranges[i].low && cp <= m_ranges[i].high) return !token.negate;
            }
            return token.negate;
        case Kind::kStar:
            break;
    }
    return false;
}

// Every token but "*" takes exactly one character, so when a later token fails it is enough
// to let the most recent "*" take one more character and retry from there: earlier stars never
// need to change. That bounds the work by text length x pattern length.
bool LikePattern::matches(std::string_view text) const {
    if (!m_valid) return false;
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t ti = 0, pi = 0;
    size_t starToken = kNone, starText = 0;
    while (ti < text.size()) {
        if (pi < m_tokens.size() && m_tokens[pi].kind == Kind::kStar) {
            starToken = ++pi;
            starText = ti;
            continue;
        }
        if (pi < m_tokens.size()) {
            uint32_t cp = static_cast<uint8_t>(text[ti]);
            size_t length = cp < 0x80 ? 1 : nextUtf8Char(text, ti, &cp);
            if (tokenMatches(m_tokens[pi], cp)) {
                ti += length;
                ++pi;
                continue;
            }
        }
        if (starToken == kNone) return false;
        if (starToken == m_tokens.size()) return true;  // a final "*" takes the rest
        starText +=
            static_cast<uint8_t>(text[starText]) < 0x80 ? 1 : nextUtf8Char(text, starText, nullptr);
        ti = starText;
        pi = starToken;
    }
    while (pi < m_tokens.size() && m_tokens[pi].kind == Kind::kStar)
        ++pi;
    return pi == m_tokens.size();
}

bool likeMatch(std::string_view text, std::string_view pattern) {
    return LikePattern(pattern).matches(text);
}

}  // namespace vantel
