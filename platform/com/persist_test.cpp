#include "platform/com/persist.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/com/comobject.h"

namespace {

inline constexpr CLSID kExtentClass{
    0xE05F0000, 0x43FB, 0x48CE, {0x92, 0x66, 2, 5, 0xDC, 0xDA, 0xCB, 0x29}};

LARGE_INTEGER offset(LONGLONG n) {
    LARGE_INTEGER li;
    li.QuadPart = n;
    return li;
}

std::string readAll(IStream* stream) {
    stream->Seek(offset(0), STREAM_SEEK_SET, nullptr);
    std::string out;
    char buffer[7];
    ULONG n;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &n)) && n)
        out.append(buffer, n);
    return out;
}

// A persistable object holding two extents, saved in the 12-byte form (version, cx, cy) in a
// stream, in a storage's "Contents" stream, and as "_cx"/"_cy" in a property bag.
class Extent final : public ComClass<IPersistStreamInit, IPersistStorage, IPersistPropertyBag> {
  public:
    ULONG cx = 0, cy = 0;

    HRESULT GetClassID(CLSID* clsid) override {
        *clsid = kExtentClass;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT InitNew() override { return S_OK; }
    HRESULT GetSizeMax(ULARGE_INTEGER* size) override {
        size->QuadPart = 12;
        return S_OK;
    }
    HRESULT Load(IStream* stream) override {
        ULONG values[3];
        ULONG n = 0;
        HRESULT hr = stream->Read(values, sizeof values, &n);
        if (FAILED(hr)) return hr;
        if (n != sizeof values || values[0] != 0x900) return E_FAIL;
        cx = values[1];
        cy = values[2];
        return S_OK;
    }
    HRESULT Save(IStream* stream, BOOL) override {
        ULONG values[3] = {0x900, cx, cy};
        return stream->Write(values, sizeof values, nullptr);
    }
    HRESULT InitNew(IStorage*) override { return S_OK; }
    HRESULT Load(IStorage* storage) override {
        ComPtr<IStream> contents;
        HRESULT hr = storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                         contents.put());
        return FAILED(hr) ? hr : Load(contents.get());
    }
    HRESULT Save(IStorage* storage, BOOL) override {
        ComPtr<IStream> contents;
        HRESULT hr =
            storage->CreateStream(u"Contents", STGM_CREATE | STGM_READWRITE, 0, 0, contents.put());
        return FAILED(hr) ? hr : Save(contents.get(), TRUE);
    }
    HRESULT SaveCompleted(IStorage*) override { return S_OK; }
    HRESULT HandsOffStorage() override { return S_OK; }
    HRESULT Load(IPropertyBag* bag, IErrorLog* log) override {
        Variant x, y;
        x.vt = y.vt = VT_UI4;
        HRESULT hr = bag->Read(u"_cx", &x, log);
        if (SUCCEEDED(hr)) hr = bag->Read(u"_cy", &y, log);
        if (FAILED(hr)) return hr;
        cx = x.ulVal;
        cy = y.ulVal;
        return S_OK;
    }
    HRESULT Save(IPropertyBag* bag, BOOL, BOOL) override {
        Variant x, y;
        x.vt = y.vt = VT_UI4;
        x.ulVal = cx;
        y.ulVal = cy;
        HRESULT hr = bag->Write(u"_cx", &x);
        return FAILED(hr) ? hr : bag->Write(u"_cy", &y);
    }
};

class RecordingLog final : public ComClass<IErrorLog> {
  public:
    HRESULT AddError(LPCOLESTR name, EXCEPINFO* excep) override {
        entries.emplace_back(utf16ToUtf8(name), excep->scode);
        return S_OK;
    }
    std::vector<std::pair<std::string, HRESULT>> entries;
};

}  // namespace

TEST(MemoryStream, ReadsWritesSeeksAndStats) {
    ComPtr<IStream> s;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.put()), S_OK);
    ULONG n = 0;
    EXPECT_EQ(s->Write("hello world", 11, &n), S_OK);
    EXPECT_EQ(n, 11u);
    ULARGE_INTEGER pos;
    EXPECT_EQ(s->Seek(offset(-5), STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 6u);
    char buffer[16] = {};
    EXPECT_EQ(s->Read(buffer, 16, &n), S_OK);  // a short read at the end is not an error
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(s->Read(buffer, 16, &n), S_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(s->Seek(offset(-1), STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(offset(0), 7, &pos), STG_E_INVALIDFUNCTION);

    // Writing past the end fills the gap with zeros.
    s->Seek(offset(13), STREAM_SEEK_SET, nullptr);
    s->Write("!", 1, nullptr);
    EXPECT_EQ(readAll(s.get()), std::string("hello world\0\0!", 14));
    ULARGE_INTEGER size;
    size.QuadPart = 5;
    EXPECT_EQ(s->SetSize(size), S_OK);
    EXPECT_EQ(readAll(s.get()), "hello");
    STATSTG stat;
    EXPECT_EQ(s->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize.QuadPart, 5u);
    EXPECT_EQ(stat.pwcsName, nullptr);

    int marker = 1;
    EXPECT_EQ(CreateStreamOnHGlobal(&marker, TRUE, s.put()), E_INVALIDARG);
}

TEST(MemoryStream, ClonesShareBytesNotPositions) {
    ComPtr<IStream> s;
    CreateMemoryStream(s.put());
    s->Write("abcdef", 6, nullptr);
    ComPtr<IStream> clone;
    ASSERT_EQ(s->Clone(clone.put()), S_OK);
    ULARGE_INTEGER pos;
    clone->Seek(offset(0), STREAM_SEEK_CUR, &pos);
    EXPECT_EQ(pos.QuadPart, 6u);
    clone->Write("gh", 2, nullptr);
    EXPECT_EQ(readAll(s.get()), "abcdefgh");

    ComPtr<IStream> target;
    CreateMemoryStream(target.put());
    s->Seek(offset(2), STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER want, read, written;
    want.QuadPart = 3;
    EXPECT_EQ(s->CopyTo(target.get(), want, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 3u);
    EXPECT_EQ(written.QuadPart, 3u);
    EXPECT_EQ(readAll(target.get()), "cde");
}

TEST(MemoryStorage, NamedStreamsAndStorages) {
    ComPtr<IStorage> root;
    ASSERT_EQ(CreateMemoryStorage(root.put()), S_OK);
    ComPtr<IStream> s;
    ASSERT_EQ(root->CreateStream(u"Contents", STGM_READWRITE, 0, 0, s.put()), S_OK);
    s->Write("12 bytes!!!!", 12, nullptr);
    s = nullptr;
    ASSERT_EQ(root->OpenStream(u"CONTENTS", nullptr, STGM_READ, 0, s.put()), S_OK);
    EXPECT_EQ(readAll(s.get()), "12 bytes!!!!");
    STATSTG stat;
    s->Stat(&stat, STATFLAG_DEFAULT);
    EXPECT_EQ(utf16ToUtf8(stat.pwcsName), "Contents");
    CoTaskMemFree(stat.pwcsName);

    struct Case {
        const char16_t* name;
        DWORD mode;
        HRESULT hr;
    } creates[] = {
        {u"contents", STGM_READWRITE, STG_E_FILEALREADYEXISTS},
        {u"", STGM_READWRITE, STG_E_INVALIDNAME},
        {u"a/b", STGM_READWRITE, STG_E_INVALIDNAME},
        {u"abcdefghijklmnopqrstuvwxyz01234", STGM_READWRITE, S_OK},  // 31 characters
        {u"abcdefghijklmnopqrstuvwxyz012345", STGM_READWRITE, STG_E_INVALIDNAME},
    };
    for (const Case& c : creates) {
        ComPtr<IStream> created;
        EXPECT_EQ(root->CreateStream(c.name, c.mode, 0, 0, created.put()), c.hr)
            << utf16ToUtf8(c.name);
    }
    ComPtr<IStream> missing;
    EXPECT_EQ(root->OpenStream(u"Other", nullptr, STGM_READ, 0, missing.put()), STG_E_FILENOTFOUND);

    // STGM_CREATE replaces; an open stream on the old bytes keeps them.
    ComPtr<IStream> fresh;
    ASSERT_EQ(root->CreateStream(u"Contents", STGM_CREATE | STGM_READWRITE, 0, 0, fresh.put()),
              S_OK);
    EXPECT_EQ(readAll(fresh.get()), "");
    EXPECT_EQ(readAll(s.get()), "12 bytes!!!!");

    ComPtr<IStorage> sub;
    ASSERT_EQ(root->CreateStorage(u"Sub", STGM_READWRITE, 0, 0, sub.put()), S_OK);
    sub->CreateStream(u"Inner", STGM_READWRITE, 0, 0, s.put());
    s->Write("x", 1, nullptr);
    sub = nullptr;
    ASSERT_EQ(root->OpenStorage(u"sub", nullptr, STGM_READ, nullptr, 0, sub.put()), S_OK);
    EXPECT_EQ(sub->OpenStream(u"inner", nullptr, STGM_READ, 0, s.put()), S_OK);
    EXPECT_EQ(readAll(s.get()), "x");
    EXPECT_EQ(root->OpenStream(u"Sub", nullptr, STGM_READ, 0, s.put()), STG_E_FILENOTFOUND);

    EXPECT_EQ(root->RenameElement(u"Sub", u"Contents"), STG_E_ACCESSDENIED);
    EXPECT_EQ(root->RenameElement(u"Sub", u"Moved"), S_OK);
    EXPECT_EQ(root->OpenStorage(u"Moved", nullptr, STGM_READ, nullptr, 0, sub.put()), S_OK);
    EXPECT_EQ(root->DestroyElement(u"moved"), S_OK);
    EXPECT_EQ(root->DestroyElement(u"moved"), STG_E_FILENOTFOUND);

    CLSID clsid;
    EXPECT_EQ(WriteClassStg(root.get(), kExtentClass), S_OK);
    EXPECT_EQ(ReadClassStg(root.get(), &clsid), S_OK);
    EXPECT_EQ(clsid, kExtentClass);
}

TEST(ClassStream, SixteenLittleEndianBytes) {
    ComPtr<IStream> s;
    CreateMemoryStream(s.put());
    ASSERT_EQ(WriteClassStm(s.get(), kExtentClass), S_OK);
    std::string bytes = readAll(s.get());
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x00\x00\x5F\xE0\xFB\x43\xCE\x48", 8));
    s->Seek(offset(0), STREAM_SEEK_SET, nullptr);
    CLSID back;
    EXPECT_EQ(ReadClassStm(s.get(), &back), S_OK);
    EXPECT_EQ(back, kExtentClass);
    EXPECT_EQ(ReadClassStm(s.get(), &back), STG_E_READFAULT);
}

TEST(PropertyBag, KeepsTypedValuesByName) {
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(CreateMemoryPropertyBag(bag.put()), S_OK);
    Variant value;
    value.vt = VT_UI4;
    value.ulVal = 741;
    EXPECT_EQ(bag->Write(u"_cx", &value), S_OK);

    Variant asStored;
    EXPECT_EQ(bag->Read(u"_CX", &asStored, nullptr), S_OK);
    EXPECT_EQ(asStored.vt, VT_UI4);
    EXPECT_EQ(asStored.ulVal, 741u);
    Variant asText;
    asText.vt = VT_BSTR;
    EXPECT_EQ(bag->Read(u"_cx", &asText, nullptr), S_OK);
    EXPECT_EQ(asText.utf8(), "741");

    ComPtr<RecordingLog> log = makeComObject<RecordingLog>();
    Variant missing;
    EXPECT_EQ(bag->Read(u"_cy", &missing, log.get()), E_INVALIDARG);
    Variant word = Variant::fromUtf8("wide");
    bag->Write(u"name", &word);
    Variant number;
    number.vt = VT_I4;
    EXPECT_EQ(bag->Read(u"name", &number, log.get()), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(log->entries.size(), 2u);
    EXPECT_EQ(log->entries[0], std::make_pair(std::string("_cy"), E_INVALIDARG));
    EXPECT_EQ(log->entries[1].second, DISP_E_TYPEMISMATCH);
}

TEST(Persistence, RoundTripsThroughStreamStorageAndBag) {
    ComPtr<Extent> saved = makeComObject<Extent>();
    saved->cx = 741;
    saved->cy = 742;

    ComPtr<IStream> stream;
    CreateMemoryStream(stream.put());
    ASSERT_EQ(saved.as<IPersistStreamInit>()->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(readAll(stream.get()).size(), 12u);
    stream->Seek(offset(0), STREAM_SEEK_SET, nullptr);
    ComPtr<Extent> fromStream = makeComObject<Extent>();
    ASSERT_EQ(fromStream.as<IPersistStreamInit>()->Load(stream.get()), S_OK);
    EXPECT_EQ(fromStream->cx, 741u);

    ComPtr<IStorage> storage;
    CreateMemoryStorage(storage.put());
    ASSERT_EQ(saved.as<IPersistStorage>()->Save(storage.get(), FALSE), S_OK);
    ComPtr<Extent> fromStorage = makeComObject<Extent>();
    ASSERT_EQ(fromStorage.as<IPersistStorage>()->Load(storage.get()), S_OK);
    EXPECT_EQ(fromStorage->cy, 742u);

    ComPtr<IPropertyBag> bag;
    CreateMemoryPropertyBag(bag.put());
    ASSERT_EQ(saved.as<IPersistPropertyBag>()->Save(bag.get(), TRUE, TRUE), S_OK);
    ComPtr<Extent> fromBag = makeComObject<Extent>();
    ASSERT_EQ(fromBag.as<IPersistPropertyBag>()->Load(bag.get(), nullptr), S_OK);
    EXPECT_EQ(fromBag->cx, 741u);
    EXPECT_EQ(fromBag->cy, 742u);

    CLSID clsid;
    saved.as<IPersist>()->GetClassID(&clsid);
    EXPECT_EQ(clsid, kExtentClass);
}
