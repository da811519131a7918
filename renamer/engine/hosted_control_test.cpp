#include "renamer/engine/hosted_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/activation.h"
#include "platform/registry/registry.h"
#include "tools/testsupport/scoped_env.h"
#include "tools/testsupport/temp_dir.h"

namespace vantel {

namespace {

// A control host over a registry of the test's own, with the lines it logs.
class Hosting : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_dir.ok()); }

    std::unique_ptr<HostedControl> host() {
        m_lines.clear();
        return std::make_unique<HostedControl>(
            [this](const std::string& line, int) { m_lines.push_back(line); }, [] {});
    }
    bool logged(const std::string& start) const {
        for (const std::string& line : m_lines) {
            if (line.rfind(start, 0) == 0) return true;
        }
        return false;
    }
    // Points the registered class at another module path, as a moved installation leaves it.
    void registerModuleAt(const std::string& path) {
        CoInitialize(nullptr);
        CLSID clsid;
        ASSERT_EQ(clsidFromProgId(kControlProgId, &clsid), S_OK);
        CoUninitialize();
        const std::string key = "CLSID\\" + guidToString(clsid) + "\\InprocServer32";
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &handle, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>(path.size() + 1));
        RegCloseKey(handle);
    }

    // The module the registered class names now.
    std::string registeredModule() {
        CoInitialize(nullptr);
        CLSID clsid;
        HRESULT hr = clsidFromProgId(kControlProgId, &clsid);
        CoUninitialize();
        if (FAILED(hr)) return {};
        const std::string key = "CLSID\\" + guidToString(clsid) + "\\InprocServer32";
        char path[4096] = {};
        DWORD size = sizeof path;
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return {};
        RegQueryValueExA(handle, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
        RegCloseKey(handle);
        return path;
    }

    TempDir m_dir;
    ScopedEnv m_env{isolatedUserEnv(m_dir.path())};
    std::vector<std::string> m_lines;
};

TEST_F(Hosting, AFreshUserGetsTheShippedControlRegisteredOnceAndDrivenByName) {
    std::unique_ptr<HostedControl> first = host();
    EXPECT_FALSE(first->created());  // nothing before the first use
    IDispatch* control = first->control("Wirran1");
    ASSERT_NE(control, nullptr) << first->error();
    EXPECT_TRUE(
        logged("The socket control is not registered; registering " + shippedControlModule()));
    EXPECT_TRUE(logged("Registered the socket control"));
    EXPECT_EQ(first->control("Wirran1"), control);  // one instance, kept
    EXPECT_EQ(first->control("Wirran2"), nullptr);
    // It answers by member name: Timeout is one of the properties the HTTP client sets.
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(u"Timeout");
    EXPECT_EQ(control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    first.reset();

    // The next start finds it registered.
    std::unique_ptr<HostedControl> second = host();
    ASSERT_NE(second->control("Wirran1"), nullptr) << second->error();
    EXPECT_FALSE(logged("The socket control is not registered"));

    // A registration that names a module that is gone is renewed from the shipped one.
    registerModuleAt(m_dir.file("moved/libkvlink6.so"));
    second.reset();
    std::unique_ptr<HostedControl> third = host();
    ASSERT_NE(third->control("Wirran1"), nullptr) << third->error();
    EXPECT_TRUE(logged("Registered the socket control"));
}

TEST_F(Hosting, ARegistrationOfAnotherCopyIsRenewedFromTheShippedModule) {
    const std::string shipped = shippedControlModule();
    ASSERT_TRUE(std::filesystem::is_regular_file(shipped)) << shipped;
    ASSERT_NE(host()->control("Wirran1"), nullptr);

    // Another spelling of the shipped module's path is the same module: nothing to renew.
    const std::filesystem::path folder = std::filesystem::path(shipped).parent_path();
    registerModuleAt((folder / "." / "libkvlink6.so").string());
    std::unique_ptr<HostedControl> same = host();
    ASSERT_NE(same->control("Wirran1"), nullptr) << same->error();
    EXPECT_FALSE(logged("The socket control is registered to"));
    same.reset();

    // A copy of an older install, still there: the shipped one is registered over it before
    // anything is loaded from it.
    const std::string older = m_dir.file("old-install/libkvlink6.so");
    std::filesystem::create_directories(std::filesystem::path(older).parent_path());
    std::filesystem::copy_file(shipped, older);
    registerModuleAt(older);
    std::unique_ptr<HostedControl> renewed = host();
    ASSERT_NE(renewed->control("Wirran1"), nullptr) << renewed->error();
    EXPECT_TRUE(
        logged("The socket control is registered to " + older + "; registering " + shipped));
    EXPECT_TRUE(logged("Registered the socket control " + shipped));
    EXPECT_EQ(registeredModule(), shipped);
}

TEST(RegisterControlModule, SaysWhyAModuleCannotBeRegistered) {
    std::string error;
    EXPECT_FALSE(registerControlModule("/nonexistent/libkvlink6.so", &error));
    EXPECT_NE(error.find("cannot load /nonexistent/libkvlink6.so"), std::string::npos) << error;
    // A library that is no control module: the program's platform layer has no such entry.
    const std::string layer = modulePathOf(reinterpret_cast<const void*>(&CoInitialize));
    ASSERT_FALSE(layer.empty());
    EXPECT_FALSE(registerControlModule(layer, &error));
    EXPECT_EQ(error, layer + " has no DllRegisterServer entry point");
}

}  // namespace

}  // namespace vantel
