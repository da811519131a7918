#include "renamer/common/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "renamer/common/activity_log.h"

namespace vantel {

namespace {

// Replaces every occurrence of from, left to right, without looking again at what was put in:
// "&amp;amp;" with "&amp;" -> "&" gives "&amp;", which is why the entity list decodes "&amp;"
// a second time.
void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    size_t at = text.find(from);
    if (at == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    size_t done = 0;
    while (at != std::string::npos) {
        out.append(text, done, at - done);
        out.append(to);
        done = at + from.size();
        at = text.find(from, done);
    }
    out.append(text, done);
    text = std::move(out);
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// The number of a character reference: base 16 or 10, at most 0xFFFF (a 16-bit code).
std::optional<uint32_t> parseCode(std::string_view digits, int base, std::string* error,
                                  std::string_view reference) {
    auto fail = [&](const char* what) -> std::optional<uint32_t> {
        if (error) {
            // The digits may be everything up to a far ";": keep the logged text short.
            std::string shown(reference.substr(0, 24));
            if (reference.size() > 24) shown += "...";
            *error = std::string(what) + " in character reference \"" + shown + "\"";
        }
        return std::nullopt;
    };
    if (digits.empty()) return fail("Missing number");
    uint32_t value = 0;
    for (char c : digits) {
        int d = digitValue(c);
        if (d >= base) return fail("Invalid number");
        value = value * base + d;
        if (value > 0xFFFF) return fail("Number out of range");
    }
    return value;
}

// Decodes every "&#x...;" (base 16) or "&#...;" (base 10) until none is left. Each pass replaces
// at least the first reference by one to three bytes, and a reference is four bytes at least, so
// the text shrinks on every pass and the loop ends. A prefix without a ";" after it has no
// number, which is an error like any other bad reference.
bool decodeReferences(std::string& text, std::string_view prefix, int base, std::string* error) {
    size_t at;
    while ((at = text.find(prefix)) != std::string::npos) {
        std::string_view rest = std::string_view(text).substr(at + prefix.size());
        size_t semicolon = rest.find(';');
        std::string_view digits =
            semicolon == std::string_view::npos ? "" : rest.substr(0, semicolon);
        std::string reference = std::string(prefix) + std::string(digits);
        if (semicolon != std::string_view::npos) reference += ';';
        std::optional<uint32_t> code = parseCode(digits, base, error, reference);
        if (!code) return false;
        // The character is written as UTF-8. Episode titles pass through UTF8Decode after this,
        // and UTF8Decode gives every UTF-8 sequence of a 16-bit code back unchanged, so the
        // character survives that step (a Latin-1 byte would not: 0xE9 would start a sequence).
        std::string character;
        appendUtf8(character, *code);
        replaceAll(text, reference, character);
    }
    return true;
}

// Removes control characters: C0 (bytes 0x00-0x1F), DEL, and C1 (U+0080-U+009F) where it is
// written as UTF-8 (C2 80 to C2 9F). None of them belongs in a file name, and a tab or a line
// break would split a line of a cache file.
constexpr std::array<bool, 256> kControlStarts = [] {
    std::array<bool, 256> table{};
    for (int b = 0; b < 0x20; ++b)
        table[b] = true;
    table[0x7F] = table[0xC2] = true;
    return table;
}();

void dropControls(std::string& text) {
    // Most texts hold none: look before copying (one table look-up a byte).
    if (std::none_of(text.begin(), text.end(),
                     [](char c) { return kControlStarts[static_cast<uint8_t>(c)]; }))
        return;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b < 0x20 || b == 0x7F) continue;
        if (b == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<uint8_t>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    text = std::move(out);
}

bool isJunk(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\0';
}

bool isContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

// Writes cp as UTF-8 into to and returns the number of bytes (one to four). A surrogate
// (U+D800-U+DFFF) or a value beyond U+10FFFF cannot be written as UTF-8 and becomes U+FFFD.
size_t encodeUtf8(uint32_t cp, char (&to)[4]) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
        to[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        to[0] = static_cast<char>(0xC0 | (cp >> 6));
        to[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        to[0] = static_cast<char>(0xE0 | (cp >> 12));
        to[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        to[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    to[0] = static_cast<char>(0xF0 | (cp >> 18));
    to[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    to[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    to[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

uint32_t lowerCodePoint(uint32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp < 0xC0) return cp;
    if (cp <= 0xDE) return cp == 0xD7 ? cp : cp + 32;  // U+00D7 is the multiplication sign
    if (cp == 0x130) return 'i';                       // capital I with dot above
    // Latin Extended-A pairs capitals and small letters, capital first; the pairs start on an
    // even code up to U+0137, on an odd one from U+0139 to U+0148 and from U+0179 to U+017E.
    if (cp >= 0x100 && cp <= 0x137) return cp | 1;
    if (cp >= 0x139 && cp <= 0x148) return (cp & 1) ? cp + 1 : cp;
    if (cp >= 0x14A && cp <= 0x177) return cp | 1;
    if (cp == 0x178) return 0xFF;
    if (cp >= 0x179 && cp <= 0x17E) return (cp & 1) ? cp + 1 : cp;
    if (cp == 0x386) return 0x3AC;
    if (cp >= 0x388 && cp <= 0x38A) return cp + 37;
    if (cp == 0x38C) return 0x3CC;
    if (cp == 0x38E || cp == 0x38F) return cp + 63;
    if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;
    if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
    if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
    return cp;
}

}  // namespace

std::string Between(std::string_view text, std::string_view start, std::string_view end) {
    size_t at = text.find(start);
    if (at == std::string_view::npos) return {};
    std::string_view behind = text.substr(at + start.size());
    if (end.empty()) return std::string(behind);
    size_t stop = behind.find(end);
    if (stop == std::string_view::npos) return {};
    return std::string(behind.substr(0, stop));
}

namespace {

// The characters a file name may not hold.
constexpr std::string_view kUnsafe = "\\/*?\"><|[]:";

constexpr std::array<bool, 256> kUnsafeBytes = [] {
    std::array<bool, 256> table{};
    for (char c : kUnsafe)
        table[static_cast<uint8_t>(c)] = true;
    return table;
}();

// The bytes that give the cleaning something to do: the first byte of every replaced text, the
// start of a reference ("&"), control characters, the lead byte of a C1 control, and the unsafe
// characters.
constexpr std::array<bool, 256> kCleaningBytes = [] {
    std::array<bool, 256> table = kControlStarts;
    for (char c : std::string_view("&<\\"))
        table[static_cast<uint8_t>(c)] = true;
    for (char c : kUnsafe)
        table[static_cast<uint8_t>(c)] = true;
    return table;
}();

constexpr size_t kSpaceRunLength = 27;

// Whether text holds a run of kSpaceRunLength blanks. Such a run covers one of every
// kSpaceRunLength consecutive places, so only every kSpaceRunLength-th byte is looked at, and the
// blanks around it are counted only when it is one: a name is passed over in a few steps.
bool hasSpaceRun(std::string_view text) {
    for (size_t probe = kSpaceRunLength - 1; probe < text.size(); probe += kSpaceRunLength) {
        if (text[probe] != ' ') continue;
        size_t first = probe, last = probe + 1;
        while (first > 0 && text[first - 1] == ' ')
            --first;
        while (last < text.size() && text[last] == ' ')
            ++last;
        if (last - first >= kSpaceRunLength) return true;
    }
    return false;
}

// Whether CleanText would change anything but the junk at either end: a byte above, or a run of
// kSpaceRunLength blanks. Most names have neither.
bool needsCleaning(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return kCleaningBytes[static_cast<uint8_t>(c)]; }) ||
           hasSpaceRun(text);
}

// The part of text left when the junk at either end is cut off.
std::string_view withoutJunkEnds(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && isJunk(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isJunk(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// TrimJunk into out (its earlier content replaced). text must not be a view of out.
void trimJunkTo(std::string_view text, std::string& out) {
    // Nothing to remove inside (nearly always): cut the ends off the view and copy once.
    if (text.find('\0') == std::string_view::npos) {
        out.assign(withoutJunkEnds(text));
        return;
    }
    std::string kept(text);
    std::erase(kept, '\0');
    out.assign(withoutJunkEnds(kept));
}

}  // namespace

bool CleanTextTo(std::string_view text, std::string& out, std::string* error) {
    // Most texts need only their ends trimmed: that is done straight into out, with no copy.
    if (!needsCleaning(text)) {
        trimJunkTo(text, out);
        return true;
    }
    // Order matters: "&amp;" is decoded twice so that the service's doubly escaped ampersand
    // ("&amp;amp;") ends up plain, and "&quot;" goes in between, so "&amp;quot;" vanishes.
    const std::pair<std::string_view, std::string_view> kReplacements[] = {
        {"&amp;", "&"}, {"&quot;", ""}, {"&amp;", "&"}, {"&pound;", "\xC2\xA3"},
        {"&nbsp;", ""}, {"<BR>", " "},  {"<br>", " "},  {"\\", " "},
        {"\t", ""},     {"\n", ""},
    };
    std::string s(text);
    for (const auto& [from, to] : kReplacements)
        replaceAll(s, from, to);
    // The last replacement drops every run of kSpaceRunLength blanks. Looking for that run with
    // a plain search stops at every blank; most texts hold none, which hasSpaceRun sees quickly.
    if (hasSpaceRun(s)) {
        static const std::string kSpaceRun(kSpaceRunLength, ' ');
        replaceAll(s, kSpaceRun, "");
    }

    if (!decodeReferences(s, "&#x", 16, error)) return false;
    if (!decodeReferences(s, "&#", 10, error)) return false;
    // References may have made control characters ("&#9;", "&#10;") after the tabs and line
    // feeds were removed above.
    dropControls(s);

    std::erase_if(s, [](char c) { return kUnsafeBytes[static_cast<uint8_t>(c)]; });
    trimJunkTo(s, out);
    return true;
}

std::optional<std::string> CleanText(std::string_view text, std::string* error) {
    std::string out;
    if (!CleanTextTo(text, out, error)) return std::nullopt;
    return out;
}

std::string TrimJunk(std::string_view text) {
    std::string out;
    trimJunkTo(text, out);
    return out;
}

std::string UTF8Decode(const std::string& text, ActivityLog& log) {
    // The string holds the received bytes one per char, so "text to bytes" is a plain view.
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::string error;
    if (std::optional<std::string> decoded = Utf8ToText(bytes, &error)) return *decoded;
    log.debug_log("Error converting string from UTF-8: " + error, 1);
    // The text "unchanged" is the characters received, one per byte; written as they are, the
    // bytes would not be valid UTF-8.
    return Latin1ToText(text);
}

std::string Latin1ToText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes)
        appendUtf8(out, static_cast<uint8_t>(c));
    return out;
}

std::optional<std::string> Utf8ToText(std::span<const uint8_t> bytes, std::string* error) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    size_t i = 0;
    while (i < bytes.size()) {
        uint8_t lead = bytes[i];
        size_t length = 1;
        if (lead >= 0xE0 && lead <= 0xEF) length = 3;
        if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        if (i + length > bytes.size()) {
            if (error) *error = "Incomplete UTF-8 sequence at the end of the text";
            return std::nullopt;
        }
        appendUtf8(out, static_cast<uint32_t>(Utf8CodePoint(bytes.subspan(i, length))));
        i += length;
    }
    return out;
}

int32_t Utf8CodePoint(std::span<const uint8_t> bytes) {
    switch (bytes.size()) {
        case 1:
            return bytes[0];
        case 2:
            return (bytes[0] & 31) * 64 + (bytes[1] & 63);
        case 3:
            return (bytes[0] & 15) * 4096 + (bytes[1] & 63) * 64 + (bytes[2] & 63);
        default:
            return -1;
    }
}

void appendUtf8(std::string& out, uint32_t cp) {
    char bytes[4];
    out.append(bytes, encodeUtf8(cp, bytes));
}

size_t nextUtf8Char(std::string_view text, size_t pos, uint32_t* cp) {
    if (pos >= text.size()) return 0;
    auto at = [&](size_t k) { return static_cast<uint8_t>(text[pos + k]); };
    uint8_t b0 = at(0);
    size_t left = text.size() - pos;
    uint32_t value = 0x110000 + b0;
    size_t length = 1;
    if (b0 < 0x80) {
        value = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && isContinuation(at(1))) {
        value = (b0 & 0x1F) << 6 | (at(1) & 0x3F);
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3 && isContinuation(at(1)) &&
               isContinuation(at(2))) {
        uint32_t v = (b0 & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
        // Overlong forms and surrogates are not well formed.
        if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) value = v, length = 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4 && isContinuation(at(1)) &&
               isContinuation(at(2)) && isContinuation(at(3))) {
        uint32_t v =
            (b0 & 0x07) << 18 | (at(1) & 0x3F) << 12 | (at(2) & 0x3F) << 6 | (at(3) & 0x3F);
        if (v >= 0x10000 && v <= 0x10FFFF) value = v, length = 4;
    }
    if (cp) *cp = value;
    return length;
}

namespace {

// Lowers the ASCII bytes at the start of from (at most size) into to, up to the first byte above
// 0x7F, and returns how many it did. Eight bytes at a time where it can: a byte gets 0x20 added
// when it lies in 'A'..'Z' (adding 0x3F and 0x25 to a byte below 0x80 never carries into the
// next one).
size_t lowerAsciiRun(const char* from, size_t size, char* to) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    size_t done = 0;
    for (; done + 8 <= size; done += 8) {
        uint64_t w;
        std::memcpy(&w, from + done, 8);
        if (w & kHigh) break;
        const uint64_t at_least_a = (w + (0x80 - 'A') * kOnes) & kHigh;
        const uint64_t above_z = (w + (0x80 - 'Z' - 1) * kOnes) & kHigh;
        w |= (at_least_a & ~above_z) >> 2;
        std::memcpy(to + done, &w, 8);
    }
    for (; done < size; ++done) {
        const auto b = static_cast<uint8_t>(from[done]);
        if (b >= 0x80) break;
        to[done] = static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
    }
    return done;
}

}  // namespace

void lowerCaseTo(std::string_view text, std::string& out) {
    // The text is lowered into out's own bytes, not appended character by character: names are
    // lowered once per detection, and appending costs more than the lowering itself. A lowered
    // character is never longer than the character (the letters that change all lie below
    // U+0800 and keep their length, or get shorter: U+0130 becomes "i"), so text.size() bytes
    // are room enough; should a longer one ever appear, out grows before it is written.
    out.resize(text.size());
    size_t in = 0, at = 0;
    while (true) {
        // ASCII runs (usually the whole text) go through the word-wise path, also between and
        // after multi-byte characters.
        const size_t run = lowerAsciiRun(text.data() + in, text.size() - in, out.data() + at);
        in += run;
        at += run;
        if (in == text.size()) break;
        uint32_t cp;
        const size_t length = nextUtf8Char(text, in, &cp);
        const uint32_t lower = cp < 0x110000 ? lowerCodePoint(cp) : cp;
        if (lower == cp) {
            // Unchanged, or a byte that starts no character: the bytes as they are (a well-formed
            // sequence is the only encoding of its code point).
            std::memcpy(out.data() + at, text.data() + in, length);
            at += length;
        } else {
            char bytes[4];
            const size_t size = encodeUtf8(lower, bytes);
            const size_t needed = at + size + (text.size() - in - length);
            if (needed > out.size()) out.resize(needed);
            std::memcpy(out.data() + at, bytes, size);
            at += size;
        }
        in += length;
    }
    out.resize(at);
}

std::string lowerCase(std::string_view text) {
    std::string out;
    lowerCaseTo(text, out);
    return out;
}

}  // namespace vantel
