#include "renamer/engine/hosted_control.h"

#include <gtest/gtest.h>

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
