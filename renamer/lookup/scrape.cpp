#include "renamer/lookup/scrape.h"

#include <limits>

#include "renamer/common/text.h"

namespace vantel {

std::optional<int32_t> ParseLong(std::string_view text, std::string* error) {
    auto fail = [&](const char* what) -> std::optional<int32_t> {
        if (error) *error = what;
        return std::nullopt;
    };
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skipBlanks();
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    size_t digits = i;
    int64_t value = 0;
    bool overflow = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i++] - '0');
        if (value > int64_t{1} << 31) overflow = true, value = int64_t{1} << 31;
    }
    if (i == digits) return fail("Type mismatch");
    skipBlanks();
    if (i != text.size()) return fail("Type mismatch");
    if (negative) value = -value;
    if (overflow || value > std::numeric_limits<int32_t>::max() ||
        value < std::numeric_limits<int32_t>::min())
        return fail("Overflow");
    return static_cast<int32_t>(value);
}

bool scrapeFirstShow(std::string_view reply, ShowMatch* show, std::string* error) {
    std::optional<int32_t> id = ParseLong(Between(reply, "\"id\":", ","), error);
    if (!id) return false;
    std::optional<std::string> title = CleanText(Between(reply, "\"name\":\"", "\","), error);
    if (!title) return false;
    show->id = *id;
    show->title = std::move(*title);
    show->url = Between(reply, "\"url\":", ",");
    return true;
}

bool scrapeEpisodes(std::string_view reply, EpisodeList& episodes, int* skipped,
                    std::string* error) {
    static constexpr std::string_view kMarker = "\"id\":";
    episodes.reset();
    *skipped = 0;
    size_t at = reply.find(kMarker);
    while (at != std::string_view::npos) {
        size_t start = at + kMarker.size();
        at = reply.find(kMarker, start);
        std::string_view piece =
            reply.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start);

        std::optional<int32_t> season = ParseLong(Between(piece, "\"season\":", ","));
        std::optional<int32_t> number = ParseLong(Between(piece, "\"number\":", ","));
        if (!season || !number) {
            // A special has no place in a season's numbering; it cannot be matched anyway.
            ++*skipped;
            continue;
        }
        std::optional<std::string> title = CleanText(Between(piece, "\"name\":\"", "\","), error);
        if (!title) return false;
        episodes.append({Between(piece, "\"airdate\":\"", "\","), *season, *number,
                         Between(piece, "\"url\":", ","), std::move(*title)});
    }
    return true;
}

std::string DecodeTitle(const std::string& received, bool noutf8, ActivityLog& log) {
    return noutf8 ? Latin1ToText(received) : UTF8Decode(received, log);
}

}  // namespace vantel
