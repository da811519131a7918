#include "platform/registry/store_text.h"

#include <algorithm>
#include <cstdio>

namespace registry {

namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kHexDigits[] = "0123456789abcdef";

// The length of the well-formed UTF-8 sequence that starts at s[i] (a byte of 0x80 or more), or
// 0 when there is none: overlong forms, surrogates and values past U+10FFFF are not UTF-8.
size_t utf8Length(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    }
    return length;
}

void appendHex(std::string& out, unsigned char c) {
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 15];
}

// Appends the whole UTF-8 sequence at bytes[i] and returns its length; 0 when there is none.
size_t appendUtf8(std::string& out, std::string_view bytes, size_t i) {
    const size_t n = utf8Length(bytes, i);
    out.append(bytes.substr(i, n));
    return n;
}

bool isPrintableAscii(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

const char* namedEscape(unsigned char c) {
    switch (c) {
        case '\\':
            return "\\\\";
        case '"':
            return "\\\"";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        case '\t':
            return "\\t";
        case '\0':
            return "\\0";
        default:
            return nullptr;
    }
}

// The length of the run of bytes from bytes[i] on that a quoted string holds as they are.
size_t plainRun(std::string_view bytes, size_t i) {
    const size_t start = i;
    while (i < bytes.size() && isPrintableAscii(static_cast<unsigned char>(bytes[i])) &&
           bytes[i] != '\\' && bytes[i] != '"') {
        ++i;
    }
    return i - start;
}

// The byte that a backslash and letter stand for; false when the letter names none.
bool namedByte(char letter, char& out) {
    for (const char c : {'\\', '"', '\n', '\r', '\t', '\0'}) {
        if (namedEscape(static_cast<unsigned char>(c))[1] == letter) {
            out = c;
            return true;
        }
    }
    return false;
}

void appendQuoted(std::string& out, std::string_view bytes) {
    out += '"';
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (const size_t run = plainRun(bytes, i)) {
            out.append(bytes.substr(i, run));
            i += run - 1;
            continue;
        }
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            if (const size_t n = appendUtf8(out, bytes, i)) {
                i += n - 1;
                continue;
            }
        } else if (const char* named = namedEscape(c)) {
            out += named;
            continue;
        }
        out += "\\x";
        appendHex(out, c);
    }
    out += '"';
}

void appendKeyName(std::string& out, std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) {
            if (const size_t n = appendUtf8(out, name, i)) {
                i += n - 1;
                continue;
            }
        } else if (isPrintableAscii(c) && c != '%' && c != '[' && c != ']' && c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        out += '%';
        appendHex(out, c);
    }
}

void appendHexList(std::string& out, std::string_view data) {
    for (size_t i = 0; i < data.size(); ++i) {
        if (i) out += ',';
        appendHex(out, static_cast<unsigned char>(data[i]));
    }
}

void appendValue(std::string& out, const Value& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        appendQuoted(out, value.name);
    }
    out += '=';
    if (value.type == REG_SZ) {
        appendQuoted(out, value.data);
    } else if (value.type == REG_EXPAND_SZ) {
        out += "expand:";
        appendQuoted(out, value.data);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        out += "dword:";
        for (int i = 3; i >= 0; --i)
            appendHex(out, static_cast<unsigned char>(value.data[i]));
    } else if (value.type == REG_BINARY) {
        out += "hex:";
        appendHexList(out, value.data);
    } else {
        char type[16];
        snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
        out += type;
        appendHexList(out, value.data);
    }
    out += '\n';
}

void appendKey(std::string& out, const Key& key, std::string& path, bool isRoot) {
    if (!key.values.empty() || (key.subkeys.empty() && !isRoot)) {
        out += "\n[";
        out += path;
        out += "]\n";
        for (const Value& value : key.values)
            appendValue(out, value);
    }
    for (const Key& sub : key.subkeys) {
        const size_t length = path.size();
        path += '\\';
        appendKeyName(path, sub.name);
        appendKey(out, sub, path, false);
        path.resize(length);
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads two hex digits at s[i]; false when they are not there.
bool readHexByte(std::string_view s, size_t i, char& out) {
    if (i + 2 > s.size()) return false;
    const int high = hexValue(s[i]), low = hexValue(s[i + 1]);
    if (high < 0 || low < 0) return false;
    out = static_cast<char>(high << 4 | low);
    return true;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One line of the store, read from left to right.
class LineReader {
  public:
    explicit LineReader(std::string_view line) : m_line(line) {}

    bool atEnd() const { return m_at == m_line.size(); }

    void skipBlanks() {
        while (!atEnd() && isBlank(m_line[m_at]))
            ++m_at;
    }

    // Takes a word such as "dword:" when it comes next, letter case ignored.
    bool take(std::string_view word) {
        if (!sameName(m_line.substr(m_at, word.size()), word)) return false;
        m_at += word.size();
        return true;
    }

    bool quoted(std::string& out) {
        if (!take("\"")) return false;
        while (!atEnd()) {
            // Everything up to the next quote or backslash is taken as it is.
            const size_t stop = std::min(m_line.find_first_of("\"\\", m_at), m_line.size());
            out.append(m_line.substr(m_at, stop - m_at));
            m_at = stop;
            if (atEnd()) break;
            if (m_line[m_at++] == '"') return true;
            if (atEnd()) return false;
            const char letter = m_line[m_at++];
            char byte;
            if (letter == 'x') {
                if (!readHexByte(m_line, m_at, byte)) return false;
                m_at += 2;
            } else if (!namedByte(letter, byte)) {
                return false;
            }
            out += byte;
        }
        return false;
    }

    // Up to eight hex digits, as a number.
    bool number(DWORD& out) {
        const size_t start = m_at;
        out = 0;
        while (!atEnd() && m_at - start < 8 && hexValue(m_line[m_at]) >= 0) {
            out = out << 4 | static_cast<DWORD>(hexValue(m_line[m_at++]));
        }
        return m_at > start && (atEnd() || hexValue(m_line[m_at]) < 0);
    }

    // Comma-separated pairs of hex digits up to the end of the line; none is empty data.
    bool hexList(std::string& out) {
        skipBlanks();
        while (!atEnd()) {
            char byte;
            if (!readHexByte(m_line, m_at, byte)) return false;
            out += byte;
            m_at += 2;
            skipBlanks();
            if (atEnd()) break;
            if (!take(",")) return false;
            skipBlanks();
            if (atEnd()) return false;
        }
        return true;
    }

  private:
    std::string_view m_line;
    size_t m_at = 0;
};

class StoreParser {
  public:
    explicit StoreParser(Key& root) : m_root(root) {}

    bool line(std::string_view text) {
        if (text.empty() || text.front() == ';') return true;
        if (text.front() == '[') return section(text);
        return value(text);
    }

  private:
    bool section(std::string_view text) {
        if (text.size() < 2 || text.back() != ']') return false;
        std::string_view path = text.substr(1, text.size() - 2);
        const size_t rootEnd = std::min(path.find('\\'), path.size());
        if (!sameName(path.substr(0, rootEnd), kRootName)) return false;
        m_current = &m_root;
        size_t depth = 0;
        for (size_t at = rootEnd; at < path.size();) {
            const size_t end = std::min(path.find('\\', at + 1), path.size());
            std::string name;
            if (!keyName(path.substr(at + 1, end - at - 1), name) || ++depth > kMaxKeyDepth) {
                return false;
            }
            bool created;
            m_current = &createSubkey(*m_current, name, created);
            at = end;
        }
        return true;
    }

    static bool keyName(std::string_view text, std::string& out) {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                out += text[i];
                continue;
            }
            char byte;
            if (!readHexByte(text, i + 1, byte)) return false;
            out += byte;
            i += 2;
        }
        return !out.empty();
    }

    bool value(std::string_view text) {
        if (!m_current) return false;
        LineReader in(text);
        std::string name, data;
        if (!in.take("@") && !in.quoted(name)) return false;
        in.skipBlanks();
        if (!in.take("=")) return false;
        in.skipBlanks();
        DWORD type = REG_BINARY;
        if (in.take("expand:")) {
            type = REG_EXPAND_SZ;
            if (!in.quoted(data)) return false;
        } else if (in.take("dword:")) {
            type = REG_DWORD;
            DWORD number;
            if (!in.number(number)) return false;
            for (int i = 0; i < 4; ++i)
                data += static_cast<char>(number >> (8 * i) & 0xFF);
        } else if (in.take("hex(")) {
            if (!in.number(type) || !in.take("):") || !in.hexList(data)) return false;
        } else if (in.take("hex:")) {
            if (!in.hexList(data)) return false;
        } else {
            type = REG_SZ;
            if (!in.quoted(data)) return false;
        }
        in.skipBlanks();
        if (!in.atEnd()) return false;
        setValue(*m_current, name, type, data);
        return true;
    }

    Key& m_root;
    Key* m_current = nullptr;
};

std::string_view trimmed(std::string_view line) {
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && (isBlank(line.back()) || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

}  // namespace

bool parseStore(std::string_view text, Key& root) {
    root = Key{};
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    if (text.empty()) return true;
    StoreParser parser(root);
    bool first = true;
    while (true) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        if (first ? line != kStoreFormatLine : !parser.line(line)) return false;
        first = false;
        if (end == text.size()) return true;
        text.remove_prefix(end + 1);
    }
}

std::string serializeStore(const Key& root) {
    std::string out(kStoreFormatLine);
    out += "\n; The registry of vantel for this user. Edit it only while no vantel program runs.\n";
    std::string path(kRootName);
    appendKey(out, root, path, true);
    return out;
}

}  // namespace registry
