// Listing the control's members and finding its constants through its own type information.

#include "tools/kvhost/members.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/com/comobject.h"
#include "winsock/ocx/wirran.h"

TEST(KvhostMembers, ListsEveryMemberThenEveryEvent) {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);
    std::ostringstream out;
    ASSERT_EQ(listMembers(control.get(), out), S_OK);
    std::istringstream lines(out.str());
    std::vector<std::string> all;
    for (std::string line; std::getline(lines, line);)
        all.push_back(line);
    ASSERT_EQ(all.size(), 134u + 10u);
    EXPECT_EQ(all[0], "About()  [method -552]  Shows the about box");
    EXPECT_EQ(all[1], "Enabled(value As Boolean)  [put -514]  Enables or disables the control");
    EXPECT_EQ(all[2], "Enabled As Boolean  [get -514]  Enables or disables the control");
    EXPECT_EQ(all[118],
              "Read(out Buffer As Variant, [Length As Variant], [Options As Variant], "
              "[out RemoteAddress As Variant], [out RemotePort As Variant]) As Variant  "
              "[method 81]  Reads data");
    EXPECT_EQ(all[133],
              "WriteStream(Buffer As Variant, [out Length As Variant], "
              "[Options As Variant]) As Variant  [method 96]  Writes a stream of data");
    EXPECT_EQ(all[134],
              "event OnAccept(Handle As Variant)  [method 1]  A connection is waiting "
              "to be accepted (Handle: its socket handle)");
    EXPECT_EQ(all[143].rfind("event OnProgress(BytesTotal As Variant, BytesCopied As Variant, "
                             "Percent As Variant)  [method 10]",
                             0),
              0u);
}

TEST(KvhostMembers, FindsConstantsOfTheControlsLibraryByName) {
    ComPtr<CWirran> control = makeComObject<CWirran>(nullptr);
    struct Case {
        const char* name;
        int32_t value;
    };
    const Case cases[] = {{"wrShutdownBoth", 2},
                          {"WRPROTOCOLUDP", 17},
                          {"wrInvalidSocket", -1},
                          {"wrError", -1},
                          {"wrErrorOperationTimeout", 10060},
                          {"wrSecureProtocolDefault", 10},
                          {"wrPortUserReserved", 5000},
                          {"wrCertificateInvalid", 6}};
    for (const Case& c : cases) {
        Variant value;
        ASSERT_EQ(objectConstant(control.get(), c.name, &value), S_OK) << c.name;
        EXPECT_EQ(value.vt, VT_I4) << c.name;
        EXPECT_EQ(value.lVal, c.value) << c.name;
    }
    Variant text;
    ASSERT_EQ(objectConstant(control.get(), "wrAddressAny", &text), S_OK);
    EXPECT_EQ(bstrToUtf8(text.bstrVal), "0.0.0.0");
    // Member names and unknown names are no constants.
    EXPECT_EQ(objectConstant(control.get(), "Timeout", &text), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(objectConstant(control.get(), "wrNothing", &text), TYPE_E_ELEMENTNOTFOUND);
}
