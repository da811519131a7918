#pragma once
// Text decoding: the small routines that turn text cut out of the episode database's replies
// (and detected show names) into text that can stand in a file name.
//
// A reply reaches the renamer one char per received byte, so before UTF8Decode a string holds
// the raw bytes of the reply; everything after it is UTF-8. All routines are stateless.
//
//   std::string error;
//   std::optional<std::string> title = CleanText("Tom &amp; Jerry: Pilot", &error);
//   // *title == "Tom & Jerry Pilot"
//   std::string decoded = UTF8Decode("Caf\xC3\xA9", log);  // "Café"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantel {

class ActivityLog;

// Between returns the text between the first occurrence of start and the next occurrence of end
// after it (exact comparison). Empty when start does not occur, when end does not follow, or
// when end directly follows start. An empty end gives everything behind start.
std::string Between(std::string_view text, std::string_view start, std::string_view end);

// CleanText decodes the HTML entities the service uses, removes the characters a file name
// cannot hold (\ / * ? " > < | [ ] :) and trims spaces, CR, LF, TAB and NUL at both ends.
// A numeric character reference becomes its character encoded as UTF-8. Control characters
// (bytes 0x00-0x1F and 0x7F, and U+0080-U+009F written as UTF-8) are removed after the
// references are decoded, so none comes out, whichever way it came in.
// Fails (std::nullopt, *error set to a description) on a numeric reference whose number is
// missing, not a number or beyond 16 bits; "&#" without a following ";" counts as missing.
std::optional<std::string> CleanText(std::string_view text, std::string* error = nullptr);
// CleanTextTo: the same into out (its earlier content replaced, its room reused), for a caller
// that cleans many texts in turn; returns false where CleanText fails, leaving out as it was.
// text must not be a view of out.
bool CleanTextTo(std::string_view text, std::string& out, std::string* error = nullptr);

// TrimJunk deletes every NUL, then removes spaces, CR, LF, TAB and NUL from both ends. Never fails.
std::string TrimJunk(std::string_view text);

// UTF8Decode reads text as bytes (one char per received byte) and returns Utf8ToText of them.
// Fails soft: on a sequence cut off by the end of the text it logs
// "Error converting string from UTF-8: " + the description (level 1) and returns the characters
// received unchanged, one per byte (Latin1ToText of text), so the result is always UTF-8.
std::string UTF8Decode(const std::string& text, ActivityLog& log);

// Latin1ToText returns the text in which every byte of bytes is one character (ISO-8859-1):
// the form a received text keeps when it is not decoded as UTF-8 ("Caf\xC3\xA9" becomes
// "CafÃ©"). The result is UTF-8. Never fails.
std::string Latin1ToText(std::string_view bytes);

// Utf8ToText decodes two- and three-byte sequences (leads 0xC2-0xDF and 0xE0-0xEF) without
// checking their continuation bytes; every other byte becomes the Latin-1 character of that
// value. The result is UTF-8. Fails (std::nullopt, *error set) when the last sequence is cut off.
std::optional<std::string> Utf8ToText(std::span<const uint8_t> bytes, std::string* error = nullptr);

// Utf8CodePoint combines one to three bytes into a code point: one byte is its value; two give
// (b0 AND 31) * 64 + (b1 AND 63); three (b0 AND 15) * 4096 + (b1 AND 63) * 64 + (b2 AND 63).
// Returns -1 for an empty span or one longer than three bytes.
int32_t Utf8CodePoint(std::span<const uint8_t> bytes);

// appendUtf8 appends code point cp encoded as UTF-8. A surrogate (U+D800-U+DFFF) or a value
// beyond U+10FFFF cannot be written as UTF-8 and becomes U+FFFD.
void appendUtf8(std::string& out, uint32_t cp);

// nextUtf8Char reads the character at text[pos] and returns its length in bytes (0 at the end).
// A well-formed sequence of up to four bytes gives its code point in *cp; a byte that does not
// start one counts as a character of its own and gives 0x110000 + its value, which is no
// Unicode character and so never equals a decoded one.
size_t nextUtf8Char(std::string_view text, size_t pos, uint32_t* cp);

// lowerCase returns text with its letters in lower case: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic. Other characters and malformed bytes are kept as they are.
std::string lowerCase(std::string_view text);
// lowerCaseTo: the same into out (its earlier content replaced, its room reused), for a caller
// that lowers many texts in turn. text must not be a view of out.
void lowerCaseTo(std::string_view text, std::string& out);

}  // namespace vantel
