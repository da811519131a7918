#pragma once
// Persistence: the interfaces an object saves its state through (streams, storages, property
// bags) and in-memory implementations of the media, for hosts and tests.
//
//   ComPtr<IStream> stream;
//   CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
//   control.as<IPersistStreamInit>()->Save(stream.get(), TRUE);
//   LARGE_INTEGER zero{};
//   stream->Seek(zero, STREAM_SEEK_SET, nullptr);
//
// The memory storage keeps named streams and sub-storages (names compare without regard to
// case, as in compound files); a stream opened twice shares its bytes, each opening with its
// own seek position. The memory property bag keeps named VARIANTs.

#include "platform/com/dispatch.h"

inline constexpr IID IID_ISequentialStream{
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IStream{
    0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IStorage{
    0x0000000B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IEnumSTATSTG{
    0x0000000D, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersist{
    0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistStream{
    0x00000109, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistStorage{
    0x0000010A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistStreamInit{
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
inline constexpr IID IID_IPersistPropertyBag{
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IPropertyBag{
    0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IErrorLog{
    0x3127CA40, 0x446E, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct STATSTG {
    LPOLESTR pwcsName;  // from CoTaskMemAlloc unless STATFLAG_NONAME; the caller frees it
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

using SNB = OLECHAR**;
using HGLOBAL = void*;

// Seek origins, STATSTG types and flags, access modes.
constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;
constexpr DWORD STGTY_STORAGE = 1;
constexpr DWORD STGTY_STREAM = 2;
constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;
constexpr DWORD STGM_READ = 0x00000000;
constexpr DWORD STGM_WRITE = 0x00000001;
constexpr DWORD STGM_READWRITE = 0x00000002;
constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
constexpr DWORD STGM_CREATE = 0x00001000;
constexpr DWORD STGM_FAILIFTHERE = 0x00000000;
constexpr DWORD STGC_DEFAULT = 0;

struct IEnumSTATSTG;  // storages here do not enumerate their elements (E_NOTIMPL)

struct ISequentialStream : IUnknown {
    static constexpr const IID& kIid = IID_ISequentialStream;
    using ComBase = IUnknown;
    // Read copies up to cb bytes from the position on (fewer at the end: S_OK with a short
    // count). Write stores cb bytes at the position, growing the stream.
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};

struct IStream : ISequentialStream {
    static constexpr const IID& kIid = IID_IStream;
    using ComBase = ISequentialStream;
    virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) = 0;
    virtual HRESULT SetSize(ULARGE_INTEGER newSize) = 0;
    virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                           ULARGE_INTEGER* pcbWritten) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) = 0;
    virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
    virtual HRESULT Clone(IStream** out) = 0;
};

struct IStorage : IUnknown {
    static constexpr const IID& kIid = IID_IStorage;
    using ComBase = IUnknown;
    virtual HRESULT CreateStream(const OLECHAR* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                 IStream** out) = 0;
    virtual HRESULT OpenStream(const OLECHAR* name, void* reserved1, DWORD mode, DWORD reserved2,
                               IStream** out) = 0;
    virtual HRESULT CreateStorage(const OLECHAR* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                  IStorage** out) = 0;
    virtual HRESULT OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                                DWORD reserved, IStorage** out) = 0;
    virtual HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB exclude,
                           IStorage* target) = 0;
    virtual HRESULT MoveElementTo(const OLECHAR* name, IStorage* target, const OLECHAR* newName,
                                  DWORD flags) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
    virtual HRESULT Revert() = 0;
    virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                                 IEnumSTATSTG** out) = 0;
    virtual HRESULT DestroyElement(const OLECHAR* name) = 0;
    virtual HRESULT RenameElement(const OLECHAR* oldName, const OLECHAR* newName) = 0;
    virtual HRESULT SetElementTimes(const OLECHAR* name, const FILETIME* ctime,
                                    const FILETIME* atime, const FILETIME* mtime) = 0;
    virtual HRESULT SetClass(REFCLSID clsid) = 0;
    virtual HRESULT SetStateBits(DWORD stateBits, DWORD mask) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
};

struct IPersist : IUnknown {
    static constexpr const IID& kIid = IID_IPersist;
    using ComBase = IUnknown;
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistStream : IPersist {
    static constexpr const IID& kIid = IID_IPersistStream;
    using ComBase = IPersist;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;
};

struct IPersistStreamInit : IPersist {
    static constexpr const IID& kIid = IID_IPersistStreamInit;
    using ComBase = IPersist;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;
    virtual HRESULT InitNew() = 0;
};

struct IPersistStorage : IPersist {
    static constexpr const IID& kIid = IID_IPersistStorage;
    using ComBase = IPersist;
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT InitNew(IStorage* storage) = 0;
    virtual HRESULT Load(IStorage* storage) = 0;
    virtual HRESULT Save(IStorage* storage, BOOL sameAsLoad) = 0;
    virtual HRESULT SaveCompleted(IStorage* storage) = 0;
    virtual HRESULT HandsOffStorage() = 0;
};

struct IErrorLog : IUnknown {
    static constexpr const IID& kIid = IID_IErrorLog;
    using ComBase = IUnknown;
    virtual HRESULT AddError(LPCOLESTR propertyName, EXCEPINFO* excep) = 0;
};

struct IPropertyBag : IUnknown {
    static constexpr const IID& kIid = IID_IPropertyBag;
    using ComBase = IUnknown;
    // Read: value->vt on entry is the type wanted (VT_EMPTY: the stored type).
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* errorLog) = 0;
    virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;
};

struct IPersistPropertyBag : IPersist {
    static constexpr const IID& kIid = IID_IPersistPropertyBag;
    using ComBase = IPersist;
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) = 0;
};

// CreateStreamOnHGlobal makes an empty, growable memory stream. Global memory handles do not
// exist here: `global` must be nullptr (E_INVALIDARG otherwise) and the stream always owns its
// bytes. E_INVALIDARG for a null out pointer.
HRESULT CreateStreamOnHGlobal(HGLOBAL global, BOOL deleteOnRelease, IStream** out);
// CreateMemoryStream: the same, without the Windows-shaped arguments.
HRESULT CreateMemoryStream(IStream** out);

// CreateMemoryStorage makes an empty in-memory storage (root). It supports CreateStream,
// OpenStream, CreateStorage, OpenStorage, DestroyElement, RenameElement, SetClass, Stat, and
// Commit/Revert (which do nothing: changes are direct); the rest answer E_NOTIMPL.
// Missing elements: STG_E_FILENOTFOUND; creating over an existing name without STGM_CREATE:
// STG_E_FILEALREADYEXISTS; an empty or over-long (31+ characters) name: STG_E_INVALIDNAME.
HRESULT CreateMemoryStorage(IStorage** out);

// CreateMemoryPropertyBag makes an empty bag. Read of a missing name: E_INVALIDARG (reported
// to the error log when one is given); Read with a wanted type converts with VariantChangeType
// and returns its failure code. Write stores a copy, replacing an older value of that name.
HRESULT CreateMemoryPropertyBag(IPropertyBag** out);

// WriteClassStm/ReadClassStm write and read a CLSID as its 16 bytes (little-endian fields), the
// prefix hosts put before an object's stream. ReadClassStm: STG_E_READFAULT at the end of the
// stream. E_INVALIDARG for null arguments; the stream's own code otherwise.
HRESULT WriteClassStm(IStream* stream, REFCLSID clsid);
HRESULT ReadClassStm(IStream* stream, CLSID* clsid);
// WriteClassStg/ReadClassStg set and read a storage's class (SetClass, Stat).
HRESULT WriteClassStg(IStorage* storage, REFCLSID clsid);
HRESULT ReadClassStg(IStorage* storage, CLSID* clsid);
