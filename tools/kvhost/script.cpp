// The kvhost script parser: a hand-written scanner over one line.

#include "tools/kvhost/script.h"

#include <cctype>
#include <limits>

#include "platform/com/bstr.h"

namespace {

class LineParser {
  public:
    explicit LineParser(std::string_view line) : m_line(line) {}

    bool parse(ScriptCommand* command) {
        skipBlanks();
        if (atEnd() || peek() == '#') return true;
        if (peek() == '?') {
            ++m_pos;
            command->kind = ScriptCommand::Kind::Get;
            if (!memberName(command)) return false;
            skipBlanks();
            if (!atEnd() && peek() == '(') {
                command->parenthesised = true;
                if (!parenthesisedArgs(&command->args)) return false;
            }
            return end();
        }
        if (!memberName(command)) return false;
        skipBlanks();
        if (!atEnd() && peek() == '=') {
            ++m_pos;
            command->kind = ScriptCommand::Kind::Put;
            ScriptArg value;
            skipBlanks();
            if (atEnd() || peek() == '#') return fail("a value is missing after \"=\"");
            if (!arg(&value)) return false;
            command->args.push_back(std::move(value));
            return end();
        }
        command->kind = ScriptCommand::Kind::Call;
        if (!atEnd() && peek() == '(') {
            if (!parenthesisedArgs(&command->args)) return false;
            return end();
        }
        if (atEnd() || peek() == '#') return true;
        return argList(&command->args, false) && end();
    }

    const std::string& error() const { return m_error; }

  private:
    bool atEnd() const { return m_pos >= m_line.size(); }
    char peek() const { return m_line[m_pos]; }
    void skipBlanks() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t'))
            ++m_pos;
    }
    bool fail(std::string message) { return failAt(m_pos, std::move(message)); }
    bool failAt(size_t pos, std::string message) {
        m_error = "column " + std::to_string(pos + 1) + ": " + std::move(message);
        return false;
    }
    static bool nameStart(char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
    }
    static bool nameChar(char c) {
        return nameStart(c) || std::isdigit(static_cast<unsigned char>(c));
    }

    // Nothing but blanks or a comment may follow.
    bool end() {
        skipBlanks();
        if (atEnd() || peek() == '#') return true;
        return fail(std::string("unexpected \"") + peek() + "\"");
    }

    bool name(std::string* out) {
        skipBlanks();
        if (atEnd() || !nameStart(peek())) return fail("a name is expected");
        size_t start = m_pos;
        while (!atEnd() && nameChar(peek()))
            ++m_pos;
        *out = std::string(m_line.substr(start, m_pos - start));
        return true;
    }

    // A member's name, or NAME.Member for a member of another control instance.
    bool memberName(ScriptCommand* command) {
        if (!name(&command->name)) return false;
        if (atEnd() || peek() != '.') return true;
        ++m_pos;
        if (atEnd() || !nameStart(peek())) return fail("a member name is expected after \".\"");
        command->object = std::move(command->name);
        return name(&command->name);
    }

    bool parenthesisedArgs(std::vector<ScriptArg>* args) {
        ++m_pos;  // "("
        skipBlanks();
        if (!atEnd() && peek() == ')') {
            ++m_pos;
            return true;
        }
        if (!argList(args, true)) return false;
        if (atEnd() || peek() != ')') return fail("\")\" is expected");
        ++m_pos;
        return true;
    }

    // Arguments separated by commas, each possibly empty; ends at the line's end, a comment, or
    // (inside parentheses) a ")".
    bool argList(std::vector<ScriptArg>* args, bool inParentheses) {
        for (;;) {
            skipBlanks();
            ScriptArg a;
            bool empty =
                atEnd() || peek() == ',' || peek() == '#' || (inParentheses && peek() == ')');
            if (!empty && !arg(&a)) return false;
            args->push_back(std::move(a));
            skipBlanks();
            if (atEnd() || peek() != ',') return true;
            ++m_pos;
        }
    }

    bool arg(ScriptArg* out) {
        char c = peek();
        if (c == '"') return text(out);
        if (c == '&') return hexNumber(out);
        if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) return decimalNumber(out);
        if (nameStart(c)) {
            std::string word;
            name(&word);
            if (equalsIgnoreAsciiCase(utf8ToUtf16(word), "True") ||
                equalsIgnoreAsciiCase(utf8ToUtf16(word), "False")) {
                out->kind = ScriptArg::Kind::Boolean;
                out->boolean = word.size() == 4;
            } else {
                out->kind = ScriptArg::Kind::Variable;
                out->name = std::move(word);
            }
            return true;
        }
        return fail(std::string("an argument cannot start with \"") + c + "\"");
    }

    bool decimalNumber(ScriptArg* out) {
        const size_t start = m_pos;
        bool negative = peek() == '-';
        if (negative) ++m_pos;
        if (atEnd() || !std::isdigit(static_cast<unsigned char>(peek())))
            return fail("a digit is expected");
        int64_t value = 0;
        while (!atEnd() && std::isdigit(static_cast<unsigned char>(peek()))) {
            value = value * 10 + (peek() - '0');
            if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
                return failAt(start, "the number does not fit in 32 bits");
            ++m_pos;
        }
        if (negative) value = -value;
        if (value > std::numeric_limits<int32_t>::max())
            return failAt(start, "the number does not fit in 32 bits");
        if (!atEnd() && nameChar(peek())) return failAt(start, "a number ends with a digit");
        out->kind = ScriptArg::Kind::Number;
        out->number = static_cast<int32_t>(value);
        return true;
    }

    bool hexNumber(ScriptArg* out) {
        const size_t start = m_pos;
        ++m_pos;  // "&"
        if (atEnd() || (peek() != 'H' && peek() != 'h')) return failAt(start, "\"&H\" is expected");
        ++m_pos;
        uint64_t value = 0;
        size_t digits = 0;
        while (!atEnd() && std::isxdigit(static_cast<unsigned char>(peek()))) {
            value = value * 16 + hexValue(peek());
            if (value > 0xFFFFFFFFu) return failAt(start, "the number does not fit in 32 bits");
            ++digits;
            ++m_pos;
        }
        if (digits == 0) return failAt(start, "a hexadecimal digit is expected");
        if (!atEnd() && nameChar(peek())) return failAt(start, "a number ends with a digit");
        out->kind = ScriptArg::Kind::Number;
        out->number = static_cast<int32_t>(static_cast<uint32_t>(value));
        return true;
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        return (std::tolower(static_cast<unsigned char>(c)) - 'a') + 10;
    }

    bool text(ScriptArg* out) {
        ++m_pos;              // the opening quote
        std::string pending;  // UTF-8 text waiting to be converted
        std::u16string result;
        auto flush = [&] {
            result += utf8ToUtf16(pending);
            pending.clear();
        };
        for (;;) {
            if (atEnd()) return fail("the string has no closing quote");
            char c = peek();
            ++m_pos;
            if (c == '"') break;
            if (c != '\\') {
                pending += c;
                continue;
            }
            if (atEnd()) return fail("the string has no closing quote");
            const size_t escape = m_pos - 1;  // the backslash
            char e = peek();
            ++m_pos;
            switch (e) {
                case 'r':
                    pending += '\r';
                    break;
                case 'n':
                    pending += '\n';
                    break;
                case 't':
                    pending += '\t';
                    break;
                case '"':
                    pending += '"';
                    break;
                case '\\':
                    pending += '\\';
                    break;
                case 'x': {
                    if (m_pos + 2 > m_line.size() ||
                        !std::isxdigit(static_cast<unsigned char>(m_line[m_pos])) ||
                        !std::isxdigit(static_cast<unsigned char>(m_line[m_pos + 1])))
                        return failAt(escape, "\\x needs two hexadecimal digits");
                    flush();
                    result += static_cast<char16_t>(hexValue(m_line[m_pos]) * 16 +
                                                    hexValue(m_line[m_pos + 1]));
                    m_pos += 2;
                    break;
                }
                default:
                    return failAt(escape, std::string("unknown escape \"\\") + e + "\"");
            }
        }
        flush();
        out->kind = ScriptArg::Kind::Text;
        out->text = std::move(result);
        return true;
    }

    std::string_view m_line;
    size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

bool parseScriptLine(std::string_view line, ScriptCommand* command, std::string* error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    *command = ScriptCommand{};
    LineParser parser(line);
    if (parser.parse(command)) return true;
    *command = ScriptCommand{};
    if (error) *error = parser.error();
    return false;
}
