#pragma once
// The "Like" wildcard comparison used by filename detection and by the action filters.
//
// Case-sensitive, character by character over UTF-8 text:
//   "*"      any run of characters, including none;
//   "?"      any one character;
//   "#"      one decimal digit 0-9;
//   "[abc]"  one of the listed characters; "[a-z]" a range (ascending code points); "[!abc]"
//            one character not listed. Inside a list, "-" first or last and "!" not first stand
//            for themselves, and "[", "*", "?", "#" lose their meaning. "[]" matches nothing
//            (zero characters) and "[!]" any one character.
//   anything else, "]" outside a list included, matches itself.
// A pattern with an unclosed "[" or a descending range is malformed and matches no text.
// Matching takes at most (text length x pattern length) steps however many "*" there are.
//
//   LikePattern filter("*lost*");
//   filter.matches("lost s1");        // true
//   likeMatch("1x05", "#x##");        // true

#include <cstdint>
#include <string_view>
#include <vector>

namespace vantel {

class LikePattern {
  public:
    explicit LikePattern(std::string_view pattern);

    // valid is false for a malformed pattern (unclosed "[", descending range).
    bool valid() const { return m_valid; }

    // matches is true when the whole of text matches; always false for a malformed pattern.
    bool matches(std::string_view text) const;

  private:
    enum class Kind : uint8_t { kStar, kAny, kDigit, kLiteral, kList };
    struct Token {
        Kind kind;
        bool negate = false;  // kList: "[!...]"
        uint32_t value = 0;   // kLiteral: the code point; kList: index of the first range
        uint32_t count = 0;   // kList: number of ranges
    };
    struct Range {
        uint32_t low, high;
    };

    bool parseList(std::string_view pattern, size_t& pos);
    bool tokenMatches(const Token& token, uint32_t cp) const;

    std::vector<Token> m_tokens;
    std::vector<Range> m_ranges;
    bool m_valid = true;
};

// likeMatch compiles pattern and matches text against it; false for a malformed pattern.
bool likeMatch(std::string_view text, std::string_view pattern);

}  // namespace vantel
