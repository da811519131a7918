#include "platform/com/errorinfo.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

inline constexpr IID kIidWidget{0xAAAA0001, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};

std::string description(IErrorInfo* info) {
    Bstr text;
    info->GetDescription(text.put());
    return text.utf8();
}

}  // namespace

TEST(ErrorInfo, CarriesItsFields) {
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
    create->SetGUID(kIidWidget);
    create->SetSource(const_cast<LPOLESTR>(u"Acme.Widget"));
    create->SetDescription(const_cast<LPOLESTR>(u"It broke"));
    create->SetHelpContext(42);
    ComPtr<IErrorInfo> info = create.as<IErrorInfo>();
    ASSERT_TRUE(info);
    GUID guid;
    info->GetGUID(&guid);
    EXPECT_EQ(guid, kIidWidget);
    Bstr source;
    info->GetSource(source.put());
    EXPECT_EQ(source.utf8(), "Acme.Widget");
    EXPECT_EQ(description(info.get()), "It broke");
    Bstr help;
    EXPECT_EQ(info->GetHelpFile(help.put()), S_OK);
    EXPECT_EQ(help.get(), nullptr);
    DWORD context = 0;
    info->GetHelpContext(&context);
    EXPECT_EQ(context, 42u);
    EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
}

TEST(ErrorInfo, ReadingEmptiesTheSlot) {
    EXPECT_EQ(setErrorInfoText(kIidWidget, u"src", u"first", E_FAIL), E_FAIL);
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_OK);
    EXPECT_EQ(description(info.get()), "first");
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);
    EXPECT_FALSE(info);

    // A later error replaces an earlier one; nullptr clears.
    setErrorInfoText(kIidWidget, u"src", u"one", E_FAIL);
    setErrorInfoText(kIidWidget, u"src", u"two", E_FAIL);
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_OK);
    EXPECT_EQ(description(info.get()), "two");
    setErrorInfoText(kIidWidget, u"src", u"three", E_FAIL);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);

    EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(1, info.put()), E_INVALIDARG);
    EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST(ErrorInfo, TheSlotHoldsOneReference) {
    ComPtr<ICreateErrorInfo> create;
    CreateErrorInfo(create.put());
    ComPtr<IErrorInfo> info = create.as<IErrorInfo>();
    create = nullptr;
    IErrorInfo* raw = info.get();
    SetErrorInfo(0, raw);
    EXPECT_EQ(raw->AddRef(), 3u);  // ours, the slot's, and this one
    raw->Release();
    info = nullptr;
    ComPtr<IErrorInfo> back;
    GetErrorInfo(0, back.put());
    EXPECT_EQ(back.get(), raw);
    EXPECT_EQ(raw->AddRef(), 2u);  // the slot gave its reference away
    raw->Release();
}

TEST(ErrorInfo, EachThreadHasItsOwn) {
    setErrorInfoText(kIidWidget, u"main", u"main thread", E_FAIL);
    std::string seenByOther;
    HRESULT otherFirst = E_UNEXPECTED;
    std::thread other([&] {
        ComPtr<IErrorInfo> info;
        otherFirst = GetErrorInfo(0, info.put());
        setErrorInfoText(kIidWidget, u"other", u"other thread", E_FAIL);
        GetErrorInfo(0, info.put());
        seenByOther = description(info.get());
        // Left set on purpose: the thread's slot releases it when the thread ends.
        setErrorInfoText(kIidWidget, u"other", u"left behind", E_FAIL);
    });
    other.join();
    EXPECT_EQ(otherFirst, S_FALSE);
    EXPECT_EQ(seenByOther, "other thread");
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
    EXPECT_EQ(description(info.get()), "main thread");
}
