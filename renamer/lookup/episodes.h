#pragma once
// The episode table: the episodes of the show looked up last, as the service lists them or as
// the episode cache holds them. One table per main window; every fetch and every cache load
// rebuilds it.
//
//   EpisodeList episodes;
//   episodes.append({"2013-06-24", 1, 1, "\"https://...\"", "Pilot"});
//   if (const EpisodeEntry* e = episodes.find(1, 1)) use(e->title);

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vantel {

struct EpisodeEntry {
    std::string airdate;  // "yyyy-mm-dd" as the service gives it (may be empty or "0000-00-00")
    int32_t season = 0;
    int32_t number = 0;  // the episode's number within its season
    std::string url;     // verbatim from the reply, double quotes included
    std::string title;   // entity-decoded, in the received bytes (not yet UTF-8-decoded)

    friend bool operator==(const EpisodeEntry&, const EpisodeEntry&) = default;
};

// The table numbers its episodes from 1 in the order they were read; entry 0 always exists
// and is empty.
class EpisodeList {
  public:
    EpisodeList() : m_entries(1) {}

    // Empties the table to its entry 0.
    void reset() { m_entries.assign(1, EpisodeEntry{}); }
    void append(EpisodeEntry entry) { m_entries.push_back(std::move(entry)); }
    // The number of episodes (entry 0 not counted).
    size_t count() const { return m_entries.size() - 1; }
    // Entry i, 0 to count(); i must be in that range.
    const EpisodeEntry& at(size_t i) const { return m_entries.at(i); }

    // The first episode (from entry 1 on) with this season and number, or nullptr.
    const EpisodeEntry* find(int32_t season, int32_t number) const {
        for (size_t i = 1; i < m_entries.size(); ++i)
            if (m_entries[i].season == season && m_entries[i].number == number)
                return &m_entries[i];
        return nullptr;
    }

  private:
    std::vector<EpisodeEntry> m_entries;
};

}  // namespace vantel
