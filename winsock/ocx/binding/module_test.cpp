#include "winsock/ocx/binding/module.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace {

std::string realPath(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::canonical(path, ignored).string();
}

}  // namespace

TEST(ModuleFileName, WindowsNamesBecomeSharedObjects) {
    struct Case {
        const char* name;
        const char* file;
    } cases[] = {
        {"WS2_32.DLL", "libws2_32.so"},
        {"kvtrace6.DLL", "libkvtrace6.so"},
        {"Ws2_32.Dll", "libws2_32.so"},
        {"ws2_32", "libws2_32.so"},                      // Windows adds ".dll" to a bare name
        {"libfoo.dll", "libfoo.so"},                     // "lib" is not doubled
        {"libws2_32.so", "libws2_32.so"},                // already a shared object's name
        {"libssl.so.3", "libssl.so.3"},                  // versioned
        {"LIBCAPS.SO", "LIBCAPS.SO"},                    // used as it is, case and all
        {"/opt/net/WS2_32.DLL", "/opt/net/WS2_32.DLL"},  // a path is a path
        {"./local.dll", "./local.dll"},
        {"winsock.drv", "winsock.drv"},  // another suffix is left alone
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kvlink::moduleFileName(c.name), c.file) << c.name;
}

TEST(Module, FolderIsThatOfTheModuleHoldingTheCode) {
    // In this test the binding is linked into the test program itself.
    std::string program = realPath("/proc/self/exe");
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(realPath(kvlink::moduleFolder()), program.substr(0, program.rfind('/')));
}

TEST(Module, OpenFindsLibrariesBesideThisModuleAndThroughTheLoaderPath) {
    // The stub library is built beside the test program; libws2_32.so only in the library
    // folder, which the program's run path names.
    kvlink::Module beside;
    ASSERT_EQ(kvlink::moduleOpen("KVLINK_WS2STUB.DLL", &beside), 0) << kvlink::moduleError(&beside);
    EXPECT_EQ(kvlink::modulePath(&beside), realPath(STUB_LIBRARY_PATH));
    EXPECT_STREQ(kvlink::moduleError(&beside), "");

    kvlink::Module viaLoader;
    ASSERT_EQ(kvlink::moduleOpen("WS2_32.DLL", &viaLoader), 0) << kvlink::moduleError(&viaLoader);
    EXPECT_EQ(kvlink::modulePath(&viaLoader), realPath(WS2_LIBRARY_PATH));

    void* symbol = nullptr;
    EXPECT_EQ(kvlink::moduleSymbol(&beside, "WSAStartup", &symbol), 0);
    EXPECT_NE(symbol, nullptr);
    // The stub lacks these; the C library it depends on has them, and must not stand in.
    for (const char* name : {"connect", "select", "snprintf"}) {
        EXPECT_EQ(kvlink::moduleSymbol(&beside, name, &symbol), -1) << name;
        EXPECT_EQ(symbol, nullptr);
        EXPECT_NE(std::string(kvlink::moduleError(&beside)).find(name), std::string::npos);
    }
    kvlink::moduleClose(&beside);
    EXPECT_EQ(kvlink::moduleSymbol(&beside, "WSAStartup", &symbol), -1);
    EXPECT_EQ(kvlink::modulePath(&beside), "");
    kvlink::moduleClose(&viaLoader);
}

TEST(Module, FailuresKeepTheLoadersText) {
    kvlink::Module lib;
    EXPECT_EQ(kvlink::moduleOpen("no-such-module.DLL", &lib), -1);
    EXPECT_EQ(lib.handle, nullptr);
    EXPECT_NE(std::string(kvlink::moduleError(&lib)).find("libno-such-module.so"),
              std::string::npos)
        << kvlink::moduleError(&lib);
    EXPECT_EQ(kvlink::moduleOpen("", &lib), -1);
    EXPECT_STRNE(kvlink::moduleError(&lib), "");
    // A file that is not a shared object.
    EXPECT_EQ(kvlink::moduleOpen("/proc/self/status", &lib), -1);
    EXPECT_STRNE(kvlink::moduleError(&lib), "");
}
