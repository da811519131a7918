#include "renamer/engine/like.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vantel {

namespace {

struct Case {
    std::string text, pattern;
    bool want;
};

void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(likeMatch(c.text, c.pattern), c.want)
            << '"' << c.text << "\" Like \"" << c.pattern << '"';
    }
}

TEST(Like, StarDigitAndLiterals) {
    expectAll({{"", "", true},
               {"a", "", false},
               {"", "*", true},
               {"", "?", false},
               {"abc", "abc", true},
               {"abc", "ABC", false},
               {"abc", "a*", true},
               {"abc", "*b*", true},
               {"ab", "a**b", true},
               {"ab", "a*?*b", false},
               {"axb", "a*?*b", true},
               {"1x05", "#x##", true},
               {"1x5", "#x##", false},
               {"aaab", "*ab", true},
               {"abcabd", "*abd", true},
               {"mississippi", "*sip*", true},
               {"mississippi", "*sip", false},
               {"abab", "*ab*ab", true},
               {"aba", "*ab*ab", false}});
}

TEST(Like, QuestionMarkTakesOneUtf8Character) {
    expectAll({{"\xC3\xA9", "?", true},  // é is two bytes, one character
               {"\xC3\xA9", "??", false},
               {"\xE6\x97\xA5\xE6\x9C\xAC", "??", true},  // 日本
               {"\xF0\x9F\x98\x80", "?", true},           // four-byte character
               {"a\xFF", "??", true},          // a malformed byte counts as one character
               {"\xE0\x80\x80", "???", true},  // overlong forms and surrogates too
               {"\xED\xA0\x80", "???", true},
               {"\xF4\x90\x80\x80", "????", true},
               {"\xC3\xA9t\xC3\xA9", "?t?", true},
               {"caf\xC3\xA9", "*\xC3\xA9", true}});
}

TEST(Like, BracketLists) {
    expectAll({{"b", "[abc]", true},
               {"d", "[abc]", false},
               {"m", "[a-z]", true},
               {"M", "[a-z]", false},
               {"d", "[!abc]", true},
               {"a", "[!abc]", false},
               {"ab", "[abc]", false},
               {"b", "[a-cx-z]", true},
               {"m", "[a-cx-z]", false},
               {"-", "[a-]", true},
               {"-", "[-a]", true},
               {"-", "[!-a]", false},
               {"!", "[a!]", true},
               {"*", "[*]", true},
               {"x", "[*]", false},
               {"#", "[#]", true},
               {"1", "[#]", false},
               {"?", "[?]", true},
               {"[", "[[]", true},
               {"]", "]", true},
               {"ab", "a[]b", true},
               {"x", "[!]", true},
               {"", "[!]", false},
               {"a-c", "a[-]c", true},
               {"\xC3\xA9", "[\xC3\xA0-\xC3\xAA]", true},   // é in à-ê
               {"\xC3\xAB", "[\xC3\xA0-\xC3\xAA]", false},  // ë beyond ê
               {"\xC3\xA9", "[!\xC3\xA9]", false},
               {"show 2", "show [1-3]", true},
               {"lost s1e5", "*s[!a-z]e#", true},
               {"lost sxe5", "*s[!a-z]e#", false}});
}

TEST(Like, MalformedPatternsMatchNothing) {
    for (const char* pattern : {"[a", "[", "a[", "[!", "[c-a]", "*[z-a]*", "[a-"}) {
        LikePattern compiled(pattern);
        EXPECT_FALSE(compiled.valid()) << pattern;
        EXPECT_FALSE(compiled.matches(pattern)) << pattern;
        EXPECT_FALSE(compiled.matches("a")) << pattern;
        EXPECT_FALSE(compiled.matches("")) << pattern;
    }
    EXPECT_TRUE(LikePattern("[a-a]").valid());
    EXPECT_TRUE(LikePattern("a]").valid());
}

TEST(Like, ManyStarsOnALongNameFinish) {
    // A naive backtracking matcher needs about 2000^8 steps here.
    std::string text(2000, 'a');
    EXPECT_FALSE(likeMatch(text, "*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(likeMatch(text + "b", "*a*a*a*a*a*a*a*a*b"));
    std::string stars;
    for (int i = 0; i < 300; ++i)
        stars += "*?";
    EXPECT_FALSE(likeMatch(std::string(299, 'x'), stars));
    EXPECT_TRUE(likeMatch(std::string(300, 'x'), stars));
}

// An obviously correct exponential matcher for ASCII patterns without lists.
bool reference(std::string_view t, std::string_view p) {
    if (p.empty()) return t.empty();
    if (p[0] == '*') return reference(t, p.substr(1)) || (!t.empty() && reference(t.substr(1), p));
    if (t.empty()) return false;
    bool one = p[0] == '?' || (p[0] == '#' ? t[0] >= '0' && t[0] <= '9' : p[0] == t[0]);
    return one && reference(t.substr(1), p.substr(1));
}

TEST(Like, AgreesWithAReferenceMatcher) {
    std::mt19937 random(12345);
    auto pick = [&](std::string_view alphabet, size_t maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (char& c : s)
            c = alphabet[random() % alphabet.size()];
        return s;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text = pick("ab1", 8);
        std::string pattern = pick("ab1*?#", 6);
        ASSERT_EQ(likeMatch(text, pattern), reference(text, pattern))
            << '"' << text << "\" Like \"" << pattern << '"';
    }
}

}  // namespace

}  // namespace vantel
