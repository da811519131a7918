#include "renamer/common/text.h"

#include <gtest/gtest.h>

#include "renamer/common/activity_log.h"

namespace vantel {

namespace {

std::span<const uint8_t> bytesOf(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

TEST(Between, Table) {
    struct Case {
        const char *text, *start, *end, *want;
    } cases[] = {
        {"a=1,b=2", "a=", ",", "1"},  {"a=1,b=2", "x=", ",", ""},
        {"a=1,b=2", "b=", "", "2"},    // empty end: everything behind
        {"a=1,b=2", "b=", ",", ""},    // end absent behind start
        {"a=,b=2", "a=", ",", ""},     // end directly follows
        {"k=1;k=2;", "k=", ";", "1"},  // first start marker
        {";x=5;", "x=", ";", "5"},     // end searched only behind start
        {"A=1", "a=", "", ""},         // case-sensitive
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Between(c.text, c.start, c.end), c.want) << c.text << " " << c.start;
    }
}

struct CleanCase {
    std::string text, want;
};

void expectCleaned(std::span<const CleanCase> cases) {
    for (const CleanCase& c : cases) {
        std::string error;
        std::optional<std::string> got = CleanText(c.text, &error);
        ASSERT_TRUE(got.has_value()) << c.text << ": " << error;
        EXPECT_EQ(*got, c.want) << c.text;
    }
}

TEST(CleanText, EntitiesAndReplacementsInOrder) {
    const std::string run27(27, ' ');
    const CleanCase cases[] = {
        {"Tom &amp; Jerry", "Tom & Jerry"},
        {"&amp;amp;", "&"},          // doubly escaped ampersand becomes plain
        {"&amp;amp;amp;", "&amp;"},  // replacements do not look again at what they put in
        {"Say &quot;Hi&quot;", "Say Hi"},
        {"a&amp;quot;b", "ab"},  // "&amp;" decoded before "&quot;" is dropped
        {"&pound;5", "£5"},
        {"a&nbsp;b", "ab"},
        {"a<BR>b<br>c", "a b c"},
        {"a<Br>b", "aBrb"},  // only the two spellings; the brackets then go
        {"a\\b", "a b"},
        {"a\tb\nc", "abc"},
        {"a\rb", "ab"},  // a CR inside is a control character: removed
        {"a" + run27 + "b", "ab"},
        {"a" + std::string(28, ' ') + "b", "a b"},
        {"a" + std::string(26, ' ') + "b", "a" + std::string(26, ' ') + "b"},
        {"a" + run27 + run27 + "b", "ab"},
        {"Who? What: \"Why\" <a|b> [c] *d/e", "Who What Why ab c de"},
        {"  title \r\n\t", "title"},
        {std::string("a\0b", 3), "ab"},
        {"", ""}};
    expectCleaned(cases);
}

TEST(CleanText, NumericReferencesBecomeUtf8Characters) {
    const CleanCase cases[] = {{"&#x41;", "A"},
                               {"&#65;", "A"},
                               {"&#x4a;&#x4A;", "JJ"},
                               {"&#65;-&#65;", "A-A"},
                               {"caf&#233;", "caf\xC3\xA9"},
                               {"&#x20AC;", "\xE2\x82\xAC"},
                               {"&#xFFFF;", "\xEF\xBF\xBF"},  // the largest 16-bit code
                               {"&#xD800;", "\xEF\xBF\xBD"},  // a lone surrogate has no UTF-8 form
                               {"a&#0;b", "ab"},              // NUL is trimmed away
                               {"a&#58;b&#x2F;c", "abc"},  // decoded ":" and "/" are still removed
                               {"&#38;#65;", "A"},         // a decoded "&" starts a new reference
                               {"&#x26;#x41;", "A"},
                               {"&#00000065;", "A"}};
    expectCleaned(cases);
}

// Tabs and line breaks are removed before references are decoded; the control characters a
// reference (or the received bytes) holds go after it, so a cache line can never be split.
TEST(CleanText, NoControlCharacterComesOut) {
    const CleanCase cases[] = {{"a&#9;b&#10;c&#13;d", "abcd"},
                               {"a&#x7F;b&#133;c&#x9F;d&#x1B;e", "abcde"},
                               {"a\x01"
                                "b\x7F"
                                "c\xC2\x85"
                                "d\r\x1F"
                                "e",
                                "abcde"},
                               {"&#160;x&#xA0;", "\xC2\xA0x\xC2\xA0"},  // U+00A0 is no control
                               {"\xC2\xA9 \xE2\x80\xA6", "\xC2\xA9 \xE2\x80\xA6"}};
    expectCleaned(cases);
}

TEST(CleanText, IntoAStringReplacesItsTextOrLeavesItOnFailure) {
    std::string out(100, '#');
    ASSERT_TRUE(CleanTextTo("  Tom &amp; Jerry ", out));
    EXPECT_EQ(out, "Tom & Jerry");
    ASSERT_TRUE(CleanTextTo(" a ", out));
    EXPECT_EQ(out, "a");
    std::string error;
    EXPECT_FALSE(CleanTextTo("b &#x; c", out, &error));
    EXPECT_EQ(out, "a");
    EXPECT_FALSE(error.empty());
}

TEST(CleanText, BadNumericReferencesAreErrors) {
    const char* cases[] = {
        "&#;",      "&#x;",      "&#xZZ;", "&#12a;",   "&#70000;",
        "&#65536;", "&#x10000;", "a &#",   "a &#x",    "&#x41 b",
        "&#-1;",    "&#X41;",    "&#65",   "x &#65 y", "&#xFFFFFFFFFFFFFFFFFFFF41;"};
    for (const char* text : cases) {
        std::string error;
        EXPECT_FALSE(CleanText(text, &error).has_value()) << text;
        EXPECT_NE(error.find("character reference"), std::string::npos) << text << ": " << error;
    }
    // Without an error string the failure is still reported.
    EXPECT_FALSE(CleanText("&#;").has_value());
}

TEST(TrimJunk, OnlyEndsAndNuls) {
    EXPECT_EQ(TrimJunk(std::string("\0 \r\n\t a\0 b \t\r\n\0", 13)), "a b");
    EXPECT_EQ(TrimJunk(" \t "), "");
}

TEST(Utf8CodePoint, Table) {
    EXPECT_EQ(Utf8CodePoint(bytesOf("A")), 65);
    EXPECT_EQ(Utf8CodePoint(bytesOf("\xE2\x82\xAC")), 0x20AC);
    EXPECT_EQ(Utf8CodePoint(bytesOf("\xC3\x41")), 193);  // continuation bits taken unchecked
    EXPECT_EQ(Utf8CodePoint(bytesOf("\xF0\x9F\x98\x80")), -1);
}

TEST(UTF8Decode, Table) {
    struct Case {
        std::string text, want;
    } cases[] = {
        {"Pilot", "Pilot"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},        // two-byte sequence
        {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},  // three-byte sequence
        {"\x80", "\xC2\x80"},                  // stray continuation byte: its Latin-1 char
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},      // 0xC0 does not start a sequence
        {"\xFF", "\xC3\xBF"},
        {"\xF0\x9F\x98\x80", "\xC3\xB0\xC2\x9F\xC2\x98\xC2\x80"},  // no four-byte sequences
        {"\xC3\x41", "\xC3\x81"},                                  // continuation not validated
        {"\xE9\x61\x62", "\xE9\xA1\xA2"},  // 0xE9 0x61 0x62 read as one sequence
        {"\xED\xA0\x80", "\xEF\xBF\xBD"},  // a surrogate becomes U+FFFD
        {"\xE0\x80\x80", std::string(1, '\0')},
        {"", ""}};
    for (const Case& c : cases) {
        ActivityLog log;
        EXPECT_EQ(UTF8Decode(c.text, log), c.want);
        EXPECT_TRUE(log.lines().empty());
    }
}

TEST(UTF8Decode, CutOffSequenceLogsAndKeepsTheCharactersReceived) {
    // A Latin-1 "é" (0xE9) with one byte behind it reads as a cut-off three-byte sequence. The
    // input comes back one character per byte, which is valid UTF-8, never the raw bytes.
    struct {
        std::string text, want;
    } cases[] = {{"Lone \xC3", "Lone \xC3\x83"},
                 {"ab\xE2\x82", "ab\xC3\xA2\xC2\x82"},
                 {"\xE2", "\xC3\xA2"},
                 {"caf\xE9!", "caf\xC3\xA9!"}};
    for (const auto& [text, want] : cases) {
        ActivityLog log;
        log.setClock([] { return std::string("t"); });
        EXPECT_EQ(UTF8Decode(text, log), want);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0].rfind("(t) Error converting string from UTF-8: ", 0), 0u)
            << log.lines()[0];
    }
}

TEST(UTF8Decode, CleanedReferencesSurviveDecoding) {
    // Episode titles are cleaned first and decoded afterwards.
    ActivityLog log;
    for (std::string ref : {"&#233;", "&#xE9;", "&#x20AC;", "&pound;", "&#xFFFD;", "&#127;"}) {
        std::optional<std::string> cleaned = CleanText("x" + ref);
        ASSERT_TRUE(cleaned.has_value());
        EXPECT_EQ(UTF8Decode(*cleaned, log), *cleaned) << ref;
    }
    EXPECT_TRUE(log.lines().empty());
}

TEST(LowerCase, EveryAsciiByteAtEveryPlaceOfAWord) {
    // The eight-byte steps and the byte-wise rest agree with the plain rule, the letters' edges
    // ('@', '[', '`', '{') included, and a multi-byte character anywhere ends the fast part.
    std::string all;
    for (int c = 1; c < 128; ++c)
        all += static_cast<char>(c);
    for (size_t shift = 0; shift < 9; ++shift) {
        const std::string text = std::string(shift, 'Q') + all + "\xC3\x89" + all;
        std::string expected;
        for (char c : text)
            expected += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        expected.replace(expected.find("\xC3\x89"), 2, "\xC3\xA9");
        ASSERT_EQ(lowerCase(text), expected) << shift;
        std::string reused = "left over from before, longer than needed........................";
        lowerCaseTo(text, reused);
        ASSERT_EQ(reused, expected) << shift;
    }
}

TEST(LowerCase, ShorterLowerCaseMovesTheRestBack) {
    // "İ" (two bytes) lowers to "i" (one byte): everything behind it lands a byte further to the
    // front, through the eight-byte steps and the byte-wise rest alike, and characters that stay
    // as they are (multi-byte or malformed) are carried over to the moved place.
    for (size_t run = 0; run < 18; ++run) {
        std::string text, expected;
        for (int k = 0; k < 3; ++k) {
            text += "\xC4\xB0" + std::string(run, 'Q') + "\xC3\x89\xE2\x82\xAC\xFF" + "AbC";
            expected += "i" + std::string(run, 'q') + "\xC3\xA9\xE2\x82\xAC\xFF" + "abc";
        }
        ASSERT_EQ(lowerCase(text), expected) << run;
        std::string reused(2 * text.size(), '#');
        lowerCaseTo(text, reused);
        ASSERT_EQ(reused, expected) << run;
    }
}

TEST(LowerCase, Table) {
    struct Case {
        const char *text, *want;
    } cases[] = {
        {"Show.NAME.S01E02", "show.name.s01e02"},
        {"ÀÉÖØÞ×ß", "àéöøþ×ß"},
        {"ĀĲŁŃŸŽ", "āĳłńÿž"},
        {"İ", "i"},
        {"ΑΩΆ", "αωά"},
        {"ЖЁ", "жё"},
        {"ǅ", "ǅ"},                    // outside the covered blocks
        {"A\xFF\xC3Z", "a\xFF\xC3z"},  // malformed bytes kept
    };
    for (const Case& c : cases)
        EXPECT_EQ(lowerCase(c.text), c.want) << c.text;
}

}  // namespace

}  // namespace vantel
