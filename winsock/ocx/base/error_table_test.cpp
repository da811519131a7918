#include "winsock/ocx/base/error_table.h"

#include <gtest/gtest.h>

#include "winsock/ocx/base/constants.h"

TEST(ErrorTable, TextsByHresultIncludingTheirSlips) {
    struct Case {
        uint32_t hresult;
        const char* text;
    };
    const Case cases[] = {
        {0x80042710, "No error"},
        {0x80042711, "Handle not owned by the current thread"},
        {0x8004274C, "The specified operation has timed out"},
        {0x80042749, "No connection established with remote host"},
        // The texts are kept as hosts have always seen them, slips and duplicates included.
        {0x80042742, "The networking subsytem is unavailable"},
        {0x80042716, "The specified file type is invalid or not a regular file"},
        {0x80042715, "The specified file type is invalid or not a regular file"},
        {0x80043028, "Posting is not permitted on this server"},
        {0x80042AF9, "The specified hostname is invalid or could not be resolved"},
        {0x80042EE3, "This function has not been implemented on this platform"},
        {0x8004303F, "The local and remote file sizes do not match"},  // 12351, unnamed
    };
    for (const Case& c : cases) {
        ASSERT_NE(errorText(c.hresult), nullptr) << std::hex << c.hresult;
        EXPECT_STREQ(errorText(c.hresult), c.text) << std::hex << c.hresult;
    }
    EXPECT_EQ(errorTableSize(), 206u);
}

TEST(ErrorTable, OnlyFacilityFourIdentifiersHaveText) {
    const uint32_t none[] = {
        0,           // a cleared error
        10060,       // a bare code is not an identifier
        0x800A274C,  // the host-visible form
        0x80040001,  // below the table
        0x8004274E,  // a gap (10062)
        0x80043040,  // above the table (12352)
        0x80070005,  // another facility
    };
    for (uint32_t hr : none)
        EXPECT_EQ(errorText(hr), nullptr) << std::hex << hr;
    EXPECT_EQ(errorTextOrUndefined(0), "Undefined control error (0x00000000)");
    EXPECT_EQ(errorTextOrUndefined(0x800A274C), "Undefined control error (0x800A274C)");
    EXPECT_EQ(errorTextOrUndefined(0x8004274C), "The specified operation has timed out");
}

TEST(ErrorTable, EnumerationNamesTheSameCodes) {
    EXPECT_EQ(wrError, -1);
    EXPECT_EQ(wrErrorNotHandleOwner, 10001);
    EXPECT_EQ(wrErrorOperationTimeout, 10060);
    EXPECT_EQ(wrErrorNetworkNotReady, 10091);
    EXPECT_EQ(wrErrorNotImplemented, 12003);
    EXPECT_EQ(wrErrorFeatureNotSupported, 12330);
    EXPECT_EQ(wirranErrorHresult(wrErrorConnectionRefused), 0x8004274Du);
}
