// Self-registration in a temporary registry, and the error source the registration names.

#include "winsock/ocx/registration.h"

#include <gtest/gtest.h>

#include "platform/com/activation.h"
#include "platform/registry/test_folder.h"
#include "winsock/ocx/wirran_test_support.h"

namespace {

const char* const kClassKey = "CLSID\\{E05F5BC3-43FB-48CE-9266-025DCDACB529}";
const char* const kTypeLibKey = "TypeLib\\{6A967C3A-24E5-47BD-9298-705322683301}";

// The default (or named) value of a key under HKEY_CLASSES_ROOT, or "<missing>".
std::string value(const std::string& key, const char* name = nullptr) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<missing>";
    char data[512] = {};
    DWORD size = sizeof data;
    LSTATUS status =
        RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? data : "<no value>";
}

using WirranRegistration = RegistryFolderTest;

}  // namespace

TEST_F(WirranRegistration, WritesTheClassTheProgIdsAndTheTypeLibrary) {
    ASSERT_EQ(registerWirran("/opt/vantel/lib/libkvlink6.so"), S_OK);
    const std::string cls = kClassKey;
    const std::string lib = std::string(kTypeLibKey) + "\\1.0";
    struct Case {
        std::string key;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"Kestrine.Wirran.6", nullptr, "Wirran Windows Sockets Control 6.0"},
        {"Kestrine.Wirran.6\\CLSID", nullptr, "{E05F5BC3-43FB-48CE-9266-025DCDACB529}"},
        {"Kestrine.Wirran", nullptr, "Wirran Windows Sockets Control 6.0"},
        {"Kestrine.Wirran\\CurVer", nullptr, "Kestrine.Wirran.6"},
        {cls, nullptr, "Wirran Windows Sockets Control 6.0"},
        {cls + "\\ProgID", nullptr, "Kestrine.Wirran.6"},
        {cls + "\\VersionIndependentProgID", nullptr, "Kestrine.Wirran"},
        {cls + "\\Programmable", nullptr, "<no value>"},
        {cls + "\\Control", nullptr, "<no value>"},
        {cls + "\\Insertable", nullptr, "<no value>"},
        {cls + "\\InprocServer32", nullptr, "/opt/vantel/lib/libkvlink6.so"},
        {cls + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {cls + "\\ToolboxBitmap32", nullptr, "/opt/vantel/lib/libkvlink6.so, 202"},
        {cls + "\\MiscStatus", nullptr, "0"},
        {cls + "\\MiscStatus\\1", nullptr, "132497"},
        {cls + "\\TypeLib", nullptr, "{6A967C3A-24E5-47BD-9298-705322683301}"},
        {cls + "\\Version", nullptr, "1.0"},
        {lib, nullptr, "WirranCtl 1.0 Type Library"},
        {lib + "\\0\\linux64", nullptr, "/opt/vantel/lib/libkvlink6.so"},
        {lib + "\\FLAGS", nullptr, "0"},
        {lib + "\\HELPDIR", nullptr, "/opt/vantel/lib"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(value(c.key, c.name), c.expected) << c.key << " " << (c.name ? c.name : "@");

    CLSID clsid;
    for (const char* progId : {"Kestrine.Wirran", "Kestrine.Wirran.6"}) {
        ASSERT_EQ(clsidFromProgId(progId, &clsid), S_OK) << progId;
        EXPECT_EQ(clsid, CLSID_Wirran);
    }
}

TEST_F(WirranRegistration, UnregistrationRemovesEverythingItWrote) {
    ASSERT_EQ(registerWirran("/opt/vantel/lib/libkvlink6.so"), S_OK);
    // Another version of the type library is someone else's and stays.
    HKEY other;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(kTypeLibKey) + "\\2.0").c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(other);

    ASSERT_EQ(unregisterWirran(), S_OK);
    for (const char* key : {kClassKey, "Kestrine.Wirran", "Kestrine.Wirran.6"})
        EXPECT_EQ(value(key), "<missing>") << key;
    EXPECT_EQ(value(std::string(kTypeLibKey) + "\\1.0"), "<missing>");
    EXPECT_EQ(value(std::string(kTypeLibKey) + "\\2.0"), "<no value>");

    // Twice is fine, and the last version takes the library key with it.
    ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kTypeLibKey) + "\\2.0").c_str()),
              ERROR_SUCCESS);
    ASSERT_EQ(registerWirran("/opt/vantel/lib/libkvlink6.so"), S_OK);
    ASSERT_EQ(unregisterWirran(), S_OK);
    ASSERT_EQ(unregisterWirran(), S_OK);
    EXPECT_EQ(value(kTypeLibKey), "<missing>");
}

TEST_F(WirranRegistration, RaisedErrorsNameTheRegisteredProgId) {
    ASSERT_EQ(registerWirran("/opt/vantel/lib/libkvlink6.so"), S_OK);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (std::string(kClassKey) + "\\ProgID").c_str(), 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    const char renamed[] = "Kestrine.Wirran.7";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(renamed), sizeof renamed);
    RegCloseKey(key);

    ComPtr<CWirran> control = wirran_test::newControl();
    control->put_ThrowError(VARIANT_TRUE);
    Variant error;
    EXPECT_EQ(control->Abort(&error), static_cast<HRESULT>(0x800A2749));
    EXPECT_EQ(wirran_test::takeErrorInfo().first, "Kestrine.Wirran.7");
}
