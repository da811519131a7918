#include "renamer/engine/detection.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "renamer/common/text.h"
#include "renamer/engine/paths.h"

namespace vantel {

namespace {

using enum MarkerScan;

// Order matters: the specific dotted and spaced forms come first, the bare digit runs last.
// Rows without the folder flag would read a year or a bare number in a folder name as numbers.
constexpr std::array<FilenameFilter, 19> kFilters{{
    {1, "*.s##e##.*", ".s##e##.", kForward, 2, 2, 5, 2, true},
    {2, "*.###.*", ".###.", kForward, 1, 1, 2, 2, true},
    {3, "* - ##x## - *", " - ##x## - ", kForward, 3, 2, 6, 2, true},
    {4, "* - #x## - *", " - #x## - ", kForward, 3, 1, 5, 2, true},
    {6, "*.#x0##.*", ".#x0##.", kForward, 1, 1, 4, 2, true},
    {5, "*.##x##.*", ".##x##.", kForward, 1, 2, 4, 2, true},
    {6, "*.#x##.*", ".#x##.", kForward, 1, 1, 3, 2, true},
    {7, "*.s##.e##.*", ".s##.e##.", kForward, 2, 2, 6, 2, true},
    {8, "*.s#e##.*", ".s#e##.", kForward, 2, 1, 4, 2, true},
    {9, "*.s##e#.*", ".s##e#.", kForward, 2, 2, 5, 1, true},
    {10, "*.s#e#.*", ".s#e#.", kForward, 2, 1, 4, 1, true},
    {11, "* #x## *", " #x## ", kForward, 1, 1, 3, 2, true},
    {12, "* ##x## *", " ##x## ", kForward, 1, 2, 4, 2, true},
    {13, "*s##e##*", "s##e##", kForward, 1, 2, 4, 2, false},
    {14, "*##x##*", "##x##", kForward, 0, 2, 3, 2, true},
    {15, "*#x##*", "#x##", kForward, 0, 1, 2, 2, true},
    {16, "*##.##*", "##.##", kForward, 0, 2, 3, 2, false},
    {17, "*####*", "####", kBackwardSkipP, 0, 2, 2, 2, false},
    {18, "*###*", "###", kBackwardSkipP, 0, 1, 1, 2, false},
}};

// Every row's pattern is "*" + marker + "*", so a name matches a row exactly when the marker
// occurs somewhere in it. Markers hold only "#" and plain ASCII characters, so comparing bytes is
// comparing characters: a byte of a multi-byte character never equals one of them (the byte
// search and the character-wise wildcard match agree on every name, well formed or not).
bool markerAt(std::string_view name, size_t pos, std::string_view marker) {
    if (pos + marker.size() > name.size()) return false;
    for (size_t i = 0; i < marker.size(); ++i) {
        char c = name[pos + i];
        if (marker[i] == '#' ? (c < '0' || c > '9') : c != marker[i]) return false;
    }
    return true;
}

// The characters markers are made of, each with a class number and a bit. The bits tell which
// of them a name holds: a row whose marker holds one the name lacks cannot match. Digits have a
// bit of their own, so the scan of a name finds letters and digits with one look-up a byte.
constexpr uint8_t kOther = 0, kDigit = 1, kDot = 2, kBlank = 3, kDash = 4, kLetterX = 5,
                  kLetterS = 6, kLetterE = 7;
constexpr std::array<uint8_t, 256> kClassOf = [] {
    std::array<uint8_t, 256> classes{};
    classes['.'] = kDot;
    classes[' '] = kBlank;
    classes['-'] = kDash;
    classes['x'] = kLetterX;
    classes['s'] = kLetterS;
    classes['e'] = kLetterE;
    for (char c = '0'; c <= '9'; ++c)
        classes[static_cast<uint8_t>(c)] = kDigit;
    return classes;
}();
constexpr uint8_t kDigitBit = 1 << kDigit;
constexpr std::array<uint8_t, 256> kLetterBits = [] {
    std::array<uint8_t, 256> bits{};
    for (size_t c = 0; c < 256; ++c)
        bits[c] = kClassOf[c] == kOther ? 0 : static_cast<uint8_t>(1 << kClassOf[c]);
    return bits;
}();

// "#" in a marker stands for a digit.
uint8_t markerClass(char c) {
    return c == '#' ? kDigit : kClassOf[static_cast<uint8_t>(c)];
}

uint8_t letterBitsOf(std::string_view text) {
    uint8_t bits = 0;
    for (char c : text) {
        const uint8_t cls = markerClass(c);
        if (cls != kOther) bits |= static_cast<uint8_t>(1 << cls);
    }
    return bits;
}

// What stands next to the digits of a text: the classes found just before a digit (the low
// byte, one bit a class) and just after one (the high byte). A marker occurs only in a name
// whose digits have every neighbour the marker's digits have; this rules out most rows whose
// letters the name does hold ("s" and "e" are in most names, an "s" before a digit is not). The
// start and the end of a name count as kOther, which no marker needs.
uint16_t digitNeighbours(std::string_view text, size_t at) {
    const uint8_t before = at > 0 ? markerClass(text[at - 1]) : kOther;
    const uint8_t after = at + 1 < text.size() ? markerClass(text[at + 1]) : kOther;
    return static_cast<uint16_t>((1u << before) | (0x100u << after));
}

uint16_t markerNeighbours(std::string_view marker) {
    uint16_t needs = 0;
    for (size_t i = 0; i < marker.size(); ++i)
        if (marker[i] == '#') needs |= digitNeighbours(marker, i);
    // The ends of the marker are not the ends of the name.
    return static_cast<uint16_t>(needs & ~((1u << kOther) | (0x100u << kOther)));
}

// Each row's marker with the place of its first "#", the place of its first plain character
// (npos for a marker of digits only), the letters it needs and its digits' neighbours, worked
// out once.
struct MarkerShape {
    std::string_view marker;
    size_t first_digit;
    size_t first_plain;
    uint8_t needs;
    uint16_t neighbours;
};

const std::array<MarkerShape, kFilters.size()>& markerShapes() {
    static const std::array<MarkerShape, kFilters.size()> shapes = [] {
        std::array<MarkerShape, kFilters.size()> table{};
        for (size_t row = 0; row < kFilters.size(); ++row) {
            const std::string_view marker = kFilters[row].marker;
            table[row] = {marker, marker.find('#'), marker.find_first_not_of('#'),
                          letterBitsOf(marker), markerNeighbours(marker)};
        }
        return table;
    }();
    return shapes;
}

// The digits of a name, by position. Every marker holds a digit, so a marker can only sit where
// its first "#" meets one of them: the search tries those places only, not every position.
struct DigitPositions {
    static constexpr size_t kMax = 64;
    std::array<uint16_t, kMax> at;  // the first count entries are set
    size_t count = 0;
    bool complete = true;     // false: too many digits (or too long a name) to list; scan instead
    uint8_t letters = 0;      // the marker letters (and kDigitBit) the name holds: kLetterBits
    uint16_t neighbours = 0;  // what stands next to its digits: digitNeighbours

    explicit DigitPositions(std::string_view name) {
        if (name.size() > UINT16_MAX) {
            complete = false;
            letters = letterBitsOf(name);
            for (size_t pos = 0; pos < name.size(); ++pos)
                if (kClassOf[static_cast<uint8_t>(name[pos])] == kDigit)
                    neighbours |= digitNeighbours(name, pos);
            return;
        }
        // Every byte of every name passes here: the loop works on locals, which stay in
        // registers, and writes the members once at the end. Unrolled, it spends less on the
        // counting and jumping of the loop itself (about a sixth of its instructions).
        uint8_t seen = 0;
        uint16_t around = 0;
        size_t found = 0;
#pragma GCC unroll 4
        for (size_t pos = 0; pos < name.size(); ++pos) {
            const uint8_t bits = kLetterBits[static_cast<uint8_t>(name[pos])];
            seen |= bits;
            if (!(bits & kDigitBit)) continue;
            around |= digitNeighbours(name, pos);
            if (found == kMax) {
                complete = false;
                continue;
            }
            at[found++] = static_cast<uint16_t>(pos);
        }
        count = found;
        letters = seen;
        neighbours = around;
    }
};

// Where the row's marker starts in name, taken from the end: the last occurrence for a forward
// row, the last one not followed by "p" for a backward row. present tells whether the marker
// occurs at all (the row's pattern matches), also when a backward row finds no usable place.
std::optional<size_t> findMarker(std::string_view name, const FilenameFilter& filter,
                                 const MarkerShape& shape, const DigitPositions& digits,
                                 bool* present) {
    const std::string_view marker = shape.marker;
    *present = false;
    const size_t plain = shape.first_plain;
    auto usable = [&](size_t pos) {
        // Most places a digit offers fail on the marker's plain character: one comparison
        // rules them out before the whole marker is compared.
        if (plain != std::string_view::npos &&
            (pos + plain >= name.size() || name[pos + plain] != marker[plain]))
            return false;
        if (!markerAt(name, pos, marker)) return false;
        *present = true;
        if (filter.scan == kForward) return true;
        const size_t next = pos + marker.size();
        return next == name.size() || name[next] != 'p';
    };
    if (digits.complete) {
        const size_t first_digit = shape.first_digit;
        for (size_t i = digits.count; i-- > 0;) {
            if (digits.at[i] < first_digit) break;
            const size_t pos = digits.at[i] - first_digit;
            if (usable(pos)) return pos;
        }
        return std::nullopt;
    }
    for (size_t pos = name.size(); pos-- > 0;) {
        if (usable(pos)) return pos;
    }
    return std::nullopt;
}

int32_t number(std::string_view digits) {
    int32_t value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

bool fail(ActivityLog& log, const std::string& description) {
    log.debug_log("Error getting filename filter: " + description, 1);
    return false;
}

}  // namespace

std::span<const FilenameFilter> filenameFilters() {
    return kFilters;
}

bool getbits(QueueItem& item, bool p, ActivityLog& log, int32_t* filter_id) {
    try {
        // The lowered name is worked on in a buffer kept from call to call: over a large queue
        // that saves an allocation a name.
        thread_local std::string name;
        if (p) {
            const std::optional<std::string_view> folder = folderName(item.path);
            if (!folder) return fail(log, "No folder in path \"" + item.path + "\"");
            lowerCaseTo(*folder, name);
        } else {
            lowerCaseTo(item.file_name, name);
        }
        // The level-2 lines are built only when the log keeps them.
        const bool verbose = log.threshold() >= 2;
        if (verbose)
            log.debug_log("Looking up filename filter for: " + name + (p ? " (p=1)" : " (p=0)"), 2);

        const DigitPositions digits(name);
        const uint8_t has = digits.letters;
        const auto& shapes = markerShapes();
        for (size_t row = 0; row < kFilters.size(); ++row) {
            const FilenameFilter& filter = kFilters[row];
            if (p && !filter.folder) continue;
            if ((shapes[row].needs & has) != shapes[row].needs) continue;
            if ((shapes[row].neighbours & digits.neighbours) != shapes[row].neighbours) continue;
            bool present = false;
            std::optional<size_t> pos = findMarker(name, filter, shapes[row], digits, &present);
            if (!present) continue;
            // Only a backward row can miss (all its places are followed by "p"); the name is
            // then taken as having no numbers, and later rows are not tried.
            if (!pos) return false;

            const std::string_view view = name;
            item.season = number(view.substr(*pos + filter.season_offset, filter.season_length));
            item.episode = number(view.substr(*pos + filter.episode_offset, filter.episode_length));
            // The show part is everything before the marker, its dots as blanks. Nothing reads
            // the lowered name after this, so the dots are changed where they are, not in a copy.
            std::replace(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(*pos), '.', ' ');
            const std::string_view show = view.substr(0, *pos);

            // Cleaned straight into the item: a name detected again reuses its room.
            std::string error;
            if (!CleanTextTo(show, item.detected_show, &error)) {
                // The show part as it was found stays on the item, as before cleaning.
                item.detected_show.assign(show);
                return fail(log, error);
            }

            if (verbose)
                log.debug_log("Found filename filter with id: " + std::to_string(filter.id), 2);
            if (filter_id) *filter_id = filter.id;
            return true;
        }
        log.debug_log("No filter found", 2);
        return false;
    } catch (const std::exception& e) {
        return fail(log, e.what());
    }
}

}  // namespace vantel
