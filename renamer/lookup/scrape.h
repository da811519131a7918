#pragma once
// Reading the service's JSON replies by plain text search, the way the lookup always has: each
// value is the text between its member's marker and the next comma (or quote and comma), so
// the first occurrence wins and no JSON escapes are decoded. Also the conversions the lookup
// shares with its cache files.
//
//   ShowMatch show;
//   if (scrapeFirstShow(reply, &show, &error)) item.show_id = show.id;

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "renamer/lookup/episodes.h"

namespace vantel {

class ActivityLog;

// ParseLong reads a 32-bit integer written in decimal, with optional blanks around it and an
// optional sign. nullopt with *error "Type mismatch" when the text is no number (empty, "null"),
// "Overflow" when it does not fit 32 bits.
std::optional<int32_t> ParseLong(std::string_view text, std::string* error = nullptr);

// The top-ranked show of a search reply.
struct ShowMatch {
    int32_t id = 0;
    std::string url;    // with its double quotes
    std::string title;  // entity-decoded and cleaned, in the received bytes
};

// scrapeFirstShow takes the first "id", "url" and "name" of a search reply. False with *error
// set when the id is no number or the name holds a bad character reference.
bool scrapeFirstShow(std::string_view reply, ShowMatch* show, std::string* error);

// scrapeEpisodes rebuilds episodes from an episode-list reply: one entry per piece after each
// "id" marker. A piece whose season or number is not a number (a special, listed with null) is
// left out and counted in *skipped. False with *error set when a title holds a bad character
// reference; episodes then holds what was read before it.
bool scrapeEpisodes(std::string_view reply, EpisodeList& episodes, int* skipped,
                    std::string* error);

// DecodeTitle turns a title in its received bytes into the text a file name gets: UTF-8-decoded
// (UTF8Decode), or with noutf8 one character per byte. Never fails (a decoding error is logged
// and the bytes are kept).
std::string DecodeTitle(const std::string& received, bool noutf8, ActivityLog& log);

}  // namespace vantel
