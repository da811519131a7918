#include "platform/registry/store_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace registry {
// Failures show a tree as its store text.
void PrintTo(const Key& key, std::ostream* out) {
    *out << serializeStore(key);
}
}  // namespace registry

namespace {

using registry::Key;
using registry::parseStore;
using registry::serializeStore;

std::string dword(uint32_t v) {
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

Key& child(Key& parent, const std::string& name) {
    bool created;
    return registry::createSubkey(parent, name, created);
}

// Every kind of awkward byte, in key names, value names and data of every type.
TEST(StoreText, RoundTripsAnyBytes) {
    const std::string awkward[] = {
        std::string("nul\0inside", 10),
        "line\nfeed\rreturn\r\n",
        "quote\" backslash\\ %25 [x] ]",
        "\xff\xfe not utf-8 \xc0\x80 overlong \xed\xa0\x80 surrogate \xe2\x82 cut",
        "utf-8 caf\xc3\xa9 \xf0\x9f\x93\xba",
        "\x01\x1f\x7f\t",
        " leading and trailing ",
        "@",
        ";not a comment",
    };
    Key root;
    registry::setValue(root, "", REG_SZ, "value at the root");
    for (const std::string& text : awkward) {
        Key& key = child(child(root, "Software"), text);
        registry::setValue(key, "", REG_SZ, text);
        registry::setValue(key, text, REG_EXPAND_SZ, text);
        registry::setValue(key, "bin" + text, REG_BINARY, text);
        registry::setValue(key, "dword", REG_DWORD, dword(0xDEADBEEF));
        registry::setValue(key, "short dword", REG_DWORD, "\x01\x02\x03");
        registry::setValue(key, "multi", 7, text + '\0');
        registry::setValue(key, "none", REG_NONE, "");
        registry::setValue(key, "large type", 0xFFFFFFFF, "x");
    }
    child(child(root, "Software"), "empty key");

    const std::string text = serializeStore(root);
    Key back;
    ASSERT_TRUE(parseStore(text, back)) << text;
    EXPECT_EQ(back, root);
    // One value is one line, and nothing raw that an editor would mangle reaches the file.
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_EQ(text.find('\xff'), std::string::npos);
    EXPECT_NE(text.find("caf\xc3\xa9"), std::string::npos);
}

// The file is read by people and by older copies of the program: its layout is fixed.
TEST(StoreText, WritesTheDocumentedLayout) {
    Key root;
    Key& vantel = child(child(root, "Software"), "Vantel");
    registry::setValue(vantel, "", REG_SZ, "4.0");
    registry::setValue(vantel, "logging", REG_DWORD, dword(2));
    registry::setValue(vantel, "blob", REG_BINARY, "\x00\x1f\xff"s);
    registry::setValue(vantel, "path", REG_EXPAND_SZ, "%HOME%\\bin");
    registry::setValue(vantel, "other", 7, "a\0\0\0"s);
    child(child(child(root, "Software"), "Classes"), "Pro%grammable");

    EXPECT_EQ(serializeStore(root),
              "VANTEL REGISTRY 1\n"
              "; The registry of vantel for this user. Edit it only while no vantel program "
              "runs.\n"
              "\n[HKEY_CURRENT_USER\\Software\\Classes\\Pro%25grammable]\n"
              "\n[HKEY_CURRENT_USER\\Software\\Vantel]\n"
              "@=\"4.0\"\n"
              "\"logging\"=dword:00000002\n"
              "\"blob\"=hex:00,1f,ff\n"
              "\"path\"=expand:\"%HOME%\\\\bin\"\n"
              "\"other\"=hex(7):61,00,00,00\n");
}

TEST(StoreText, ReadsAHandEditedFile) {
    const std::string text =
        "\xEF\xBB\xBFVANTEL REGISTRY 1\r\n"
        "; edited by hand\r\n"
        "\r\n"
        "  [hkey_current_user\\Software\\Vantel]  \r\n"
        "@ = \"4.0\"\r\n"
        "\"Logging\" = DWORD:2\r\n"
        "\"bytes\"=hex: 0A , FF\r\n"
        "\"raw\"=\"tab\there\"\r\n"
        "[HKEY_CURRENT_USER\\software\\VANTEL]\r\n"
        "\"logging\"=dword:3\r\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n";
    Key root;
    ASSERT_TRUE(parseStore(text, root));
    const Key* vantel = registry::findKey(root, {"SOFTWARE", "vantel"});
    ASSERT_NE(vantel, nullptr);
    EXPECT_EQ(vantel->name, "Vantel");
    ASSERT_EQ(vantel->values.size(), 4u);
    EXPECT_EQ(vantel->values[0], (registry::Value{"", REG_SZ, "4.0"}));
    // A value seen twice keeps its first place and name, and the later data.
    EXPECT_EQ(vantel->values[1], (registry::Value{"Logging", REG_DWORD, dword(3)}));
    EXPECT_EQ(vantel->values[2], (registry::Value{"bytes", REG_BINARY, "\x0a\xff"}));
    EXPECT_EQ(vantel->values[3], (registry::Value{"raw", REG_SZ, "tab\there"}));
    EXPECT_NE(registry::findKey(root, {"Software", "Other"}), nullptr);

    Key empty;
    EXPECT_TRUE(parseStore("", empty));
    EXPECT_EQ(empty, Key{});
}

TEST(StoreText, RefusesMalformedText) {
    const std::string head = "VANTEL REGISTRY 1\n[HKEY_CURRENT_USER\\k]\n";
    const std::string deep = [] {
        std::string path = "[HKEY_CURRENT_USER";
        for (size_t i = 0; i <= registry::kMaxKeyDepth; ++i)
            path += "\\k";
        return path + "]";
    }();
    const std::string cases[] = {
        "not a store\n",
        "\n" + head,
        "VANTEL REGISTRY 2\n",
        "VANTEL REGISTRY 1\n\"v\"=\"before any section\"\n",
        "VANTEL REGISTRY 1\n[HKEY_CURRENT_USER\\k\n",
        "VANTEL REGISTRY 1\n[HKEY_LOCAL_MACHINE\\k]\n",
        "VANTEL REGISTRY 1\n[HKEY_CURRENT_USER\\\\k]\n",
        "VANTEL REGISTRY 1\n[HKEY_CURRENT_USER\\k\\]\n",
        "VANTEL REGISTRY 1\n[HKEY_CURRENT_USER\\a%zz]\n",
        "VANTEL REGISTRY 1\n" + deep + "\n",
        head + "\"v\"=\"unterminated\n",
        head + "\"v\"=\"bad \\q escape\"\n",
        head + "\"v\"=\"short \\x4\"\n",
        head + "\"v\"=\"text\" trailing\n",
        head + "\"v\" \"no equals sign\"\n",
        head + "v=\"unquoted name\"\n",
        head + "\"v\"=dword:\n",
        head + "\"v\"=dword:123456789\n",
        head + "\"v\"=dword:12g\n",
        head + "\"v\"=hex:1\n",
        head + "\"v\"=hex:01,\n",
        head + "\"v\"=hex:01,,02\n",
        head + "\"v\"=hex(:01\n",
        head + "\"v\"=hex(1234567890):01\n",
        head + "\"v\"=qword:01\n",
        head + "\"v\"=-\n",
    };
    for (const std::string& text : cases) {
        Key root;
        EXPECT_FALSE(parseStore(text, root)) << text;
    }
}

}  // namespace
