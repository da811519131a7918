// Packing of lookup results into Winsock's database structures.

#include "platform/ws2/pack.h"

#include <cstdint>
#include <cstring>

#include "platform/ws2/winsock2.h"

namespace ws2 {
namespace {

// Lays pieces out one after another. While measuring (no buffer, or one too small) it only
// counts; the caller measures first and lays out only when everything fits.
class Layout {
  public:
    explicit Layout(char* buffer) : m_buffer(buffer) {}

    bool writing() const { return m_buffer != nullptr; }
    size_t used() const { return m_used; }

    void* take(size_t bytes, size_t alignment) {
        m_used = (m_used + alignment - 1) / alignment * alignment;
        void* at = writing() ? m_buffer + m_used : nullptr;
        m_used += bytes;
        return at;
    }

    char* string(const std::string& text) {
        auto* at = static_cast<char*>(take(text.size() + 1, 1));
        if (at) std::memcpy(at, text.c_str(), text.size() + 1);
        return at;
    }

    // A null-terminated list of strings; the strings go after every fixed-size piece, so the
    // list reserves its pointers now and fills them in strings().
    char** list(size_t count) { return static_cast<char**>(take((count + 1) * sizeof(char*), 8)); }

    void strings(char** slots, const std::vector<std::string>& texts) {
        for (size_t i = 0; i < texts.size(); ++i) {
            char* at = string(texts[i]);
            if (slots) slots[i] = at;
        }
        if (slots) slots[texts.size()] = nullptr;
    }

  private:
    char* m_buffer;
    size_t m_used = 0;
};

template <typename Pack>
size_t measureThenPack(Pack pack, char* buffer, size_t size) {
    Layout measure(nullptr);
    pack(measure);
    if (!buffer || measure.used() > size) return measure.used();
    std::memset(buffer, 0, measure.used());
    Layout write(buffer);
    pack(write);
    return write.used();
}

}  // namespace

size_t packHost(const lookup::HostRecord& record, char* buffer, size_t size) {
    return measureThenPack(
        [&](Layout& layout) {
            auto* h = static_cast<hostent*>(layout.take(sizeof(hostent), alignof(hostent)));
            char** aliases = layout.list(record.aliases.size());
            char** addresses = layout.list(record.addresses.size());
            for (size_t i = 0; i < record.addresses.size(); ++i) {
                void* at = layout.take(sizeof(uint32_t), 4);
                if (at) {
                    std::memcpy(at, &record.addresses[i], sizeof(uint32_t));
                    addresses[i] = static_cast<char*>(at);
                }
            }
            if (addresses) addresses[record.addresses.size()] = nullptr;
            char* name = layout.string(record.name);
            layout.strings(aliases, record.aliases);
            if (h) *h = {name, aliases, AF_INET, 4, addresses};
        },
        buffer, size);
}

size_t packService(const lookup::ServiceRecord& record, char* buffer, size_t size) {
    return measureThenPack(
        [&](Layout& layout) {
            auto* s = static_cast<servent*>(layout.take(sizeof(servent), alignof(servent)));
            char** aliases = layout.list(record.aliases.size());
            char* name = layout.string(record.name);
            char* protocol = layout.string(record.protocol);
            layout.strings(aliases, record.aliases);
            if (s) *s = {name, aliases, protocol, static_cast<short>(record.port)};
        },
        buffer, size);
}

size_t packProtocol(const lookup::ProtocolRecord& record, char* buffer, size_t size) {
    return measureThenPack(
        [&](Layout& layout) {
            auto* p = static_cast<protoent*>(layout.take(sizeof(protoent), alignof(protoent)));
            char** aliases = layout.list(record.aliases.size());
            char* name = layout.string(record.name);
            layout.strings(aliases, record.aliases);
            if (p) *p = {name, aliases, static_cast<short>(record.number)};
        },
        buffer, size);
}

}  // namespace ws2
