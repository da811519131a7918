#include "tools/kvhost/script.h"

#include <gtest/gtest.h>

namespace {

// A parsed line in a compact form: "call Read(var:buffer, num:2048, omitted)".
std::string describe(const ScriptCommand& c) {
    static const char* const kinds[] = {"nothing", "put", "get", "call"};
    std::string out = kinds[static_cast<int>(c.kind)];
    if (c.kind == ScriptCommand::Kind::Nothing) return out;
    out += " " + c.name + (c.parenthesised ? "()" : "") + "(";
    for (size_t i = 0; i < c.args.size(); ++i) {
        const ScriptArg& a = c.args[i];
        if (i) out += ", ";
        switch (a.kind) {
            case ScriptArg::Kind::Omitted:
                out += "omitted";
                break;
            case ScriptArg::Kind::Number:
                out += "num:" + std::to_string(a.number);
                break;
            case ScriptArg::Kind::Boolean:
                out += a.boolean ? "true" : "false";
                break;
            case ScriptArg::Kind::Variable:
                out += "var:" + a.name;
                break;
            case ScriptArg::Kind::Text:
                out += "text:";
                for (char16_t ch : a.text)
                    out += ch >= 0x20 && ch < 0x7F ? std::string(1, static_cast<char>(ch))
                                                   : "<" + std::to_string(ch) + ">";
                break;
        }
    }
    return out + ")";
}

}  // namespace

TEST(KvhostScript, ParsesEachKindOfLine) {
    struct Case {
        const char* line;
        const char* parsed;
    };
    const Case cases[] = {
        {"", "nothing"},
        {"   # a comment", "nothing"},
        {"Timeout = 4", "put Timeout(num:4)"},
        {"ThrowError=true  # trailing comment", "put ThrowError(true)"},
        {"HostName = \"example.org\"\r", "put HostName(text:example.org)"},
        {"LastError = &H8004274C", "put LastError(num:-2147211444)"},
        {"LastError = &hffffffff", "put LastError(num:-1)"},
        {"Linger = -2147483648", "put Linger(num:-2147483648)"},
        {"? LastErrorString", "get LastErrorString()"},
        {"?buffer", "get buffer()"},
        {"? AdapterAddress(0)", "get AdapterAddress()(num:0)"},
        {"? Version()", "get Version()()"},
        {"Reset", "call Reset()"},
        {"Reset()", "call Reset()"},
        {"Read buffer, 2048", "call Read(var:buffer, num:2048)"},
        {"Read(buffer, , 0)", "call Read(var:buffer, omitted, num:0)"},
        {"Connect \"h\", 80, , , , ,",
         "call Connect(text:h, num:80, omitted, omitted, omitted, "
         "omitted, omitted)"},
        {"Write \"a\\r\\n\\t\\\"\\\\\\x00\\xFF\"", "call Write(text:a<13><10><9>\"\\<0><255>)"},
        {"Write \"\xC3\xA9\"", "call Write(text:<233>)"},  // UTF-8 text is decoded
        {"Initialize , \"ws2.so\", False", "call Initialize(omitted, text:ws2.so, false)"},
    };
    for (const Case& c : cases) {
        ScriptCommand command;
        std::string error;
        ASSERT_TRUE(parseScriptLine(c.line, &command, &error)) << c.line << ": " << error;
        EXPECT_EQ(describe(command), c.parsed) << c.line;
    }
}

TEST(KvhostScript, RefusesMalformedLinesWithAColumn) {
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        {"Timeout =", "column 10: a value is missing after \"=\""},
        {"Timeout = 4 5", "column 13: unexpected \"5\""},
        {"? ", "column 3: a name is expected"},
        {"? Bad(", "column 7: \")\" is expected"},
        {"1 = 2", "column 1: a name is expected"},
        {"Write \"open", "column 12: the string has no closing quote"},
        {"Write \"\\q\"", "column 8: unknown escape \"\\q\""},
        {"Write \"\\x4\"", "column 8: \\x needs two hexadecimal digits"},
        {"Linger = 2147483648", "column 10: the number does not fit in 32 bits"},
        {"Linger = &H100000000", "column 10: the number does not fit in 32 bits"},
        {"Linger = &H", "column 10: a hexadecimal digit is expected"},
        {"Linger = 12ab", "column 10: a number ends with a digit"},
        {"Read buffer; 2", "column 12: unexpected \";\""},
        {"Read @", "column 6: an argument cannot start with \"@\""},
    };
    for (const Case& c : cases) {
        ScriptCommand command;
        std::string error;
        EXPECT_FALSE(parseScriptLine(c.line, &command, &error)) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
        EXPECT_EQ(command.kind, ScriptCommand::Kind::Nothing) << c.line;
    }
}
