// The memory stream, the memory storage and the class identifiers written before saved objects.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/persist.h"

namespace {

using Bytes = std::vector<BYTE>;

LPOLESTR taskString(std::u16string_view text) {
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (!out) return nullptr;
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return out;
}

// A stream over bytes that may be shared (with clones, or with the storage that holds it).
class MemoryStream final : public ComClass<IStream> {
  public:
    MemoryStream(std::shared_ptr<Bytes> data, std::u16string name, DWORD mode,
                 ULONGLONG position = 0)
        : m_data(std::move(data)), m_name(std::move(name)), m_mode(mode), m_position(position) {}

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        ULONG n = 0;
        if (m_position < m_data->size())
            n = static_cast<ULONG>(std::min<ULONGLONG>(cb, m_data->size() - m_position));
        if (n) std::memcpy(pv, m_data->data() + m_position, n);
        m_position += n;
        if (pcbRead) *pcbRead = n;
        return S_OK;
    }

    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten) *pcbWritten = 0;
        if (!pv && cb) return STG_E_INVALIDPOINTER;
        ULONGLONG end = m_position + cb;
        if (end > m_data->size()) {
            HRESULT hr = resize(end);
            if (FAILED(hr)) return hr;
        }
        if (cb) std::memcpy(m_data->data() + m_position, pv, cb);
        m_position = end;
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        LONGLONG base;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<LONGLONG>(m_position);
                break;
            case STREAM_SEEK_END:
                base = static_cast<LONGLONG>(m_data->size());
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        LONGLONG target = base + move.QuadPart;
        if (target < 0) return STG_E_INVALIDFUNCTION;
        m_position = static_cast<ULONGLONG>(target);
        if (newPosition) newPosition->QuadPart = m_position;
        return S_OK;
    }

    HRESULT SetSize(ULARGE_INTEGER newSize) override { return resize(newSize.QuadPart); }

    HRESULT CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                   ULARGE_INTEGER* pcbWritten) override {
        if (!target) return STG_E_INVALIDPOINTER;
        ULONGLONG available = m_position < m_data->size() ? m_data->size() - m_position : 0;
        ULONG n = static_cast<ULONG>(std::min<ULONGLONG>({cb.QuadPart, available, 0xFFFFFFFFu}));
        // Copy out first: the target may share our bytes.
        Bytes chunk(m_data->begin() + static_cast<ptrdiff_t>(m_position),
                    m_data->begin() + static_cast<ptrdiff_t>(m_position + n));
        m_position += n;
        ULONG written = 0;
        HRESULT hr = target->Write(chunk.data(), n, &written);
        if (pcbRead) pcbRead->QuadPart = n;
        if (pcbWritten) pcbWritten->QuadPart = written;
        return hr;
    }

    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT Stat(STATSTG* stat, DWORD flags) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_data->size();
        stat->grfMode = m_mode;
        if (!(flags & STATFLAG_NONAME) && !m_name.empty()) {
            stat->pwcsName = taskString(m_name);
            if (!stat->pwcsName) return STG_E_INSUFFICIENTMEMORY;
        }
        return S_OK;
    }

    HRESULT Clone(IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = makeComObject<MemoryStream>(m_data, m_name, m_mode, m_position).detach();
        return S_OK;
    }

  private:
    HRESULT resize(ULONGLONG size) {
        if (size > 0x7FFFFFFFu) return STG_E_MEDIUMFULL;
        try {
            m_data->resize(static_cast<size_t>(size));
        } catch (const std::bad_alloc&) {
            return STG_E_MEDIUMFULL;
        }
        return S_OK;
    }

    std::shared_ptr<Bytes> m_data;
    std::u16string m_name;
    DWORD m_mode;
    ULONGLONG m_position;
};

// The content of a storage, shared by every opening of it.
struct StorageNode {
    struct Element {
        std::u16string name;  // as created
        std::shared_ptr<Bytes> stream;
        std::shared_ptr<StorageNode> storage;
    };
    std::map<std::u16string, Element> elements;  // by folded name
    CLSID clsid = CLSID_NULL;
    DWORD stateBits = 0;
};

// Element names compare without regard to ASCII case; the longest is 31 characters.
HRESULT foldName(const OLECHAR* name, std::u16string* key) {
    if (!name) return STG_E_INVALIDPOINTER;
    std::u16string_view text(name);
    if (text.empty() || text.size() > 31) return STG_E_INVALIDNAME;
    key->clear();
    for (char16_t c : text) {
        if (c == '\\' || c == '/' || c == ':' || c == '!') return STG_E_INVALIDNAME;
        key->push_back(c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c - 'A' + 'a') : c);
    }
    return S_OK;
}

class MemoryStorage final : public ComClass<IStorage> {
  public:
    MemoryStorage(std::shared_ptr<StorageNode> node, std::u16string name, DWORD mode)
        : m_node(std::move(node)), m_name(std::move(name)), m_mode(mode) {}

    HRESULT CreateStream(const OLECHAR* name, DWORD mode, DWORD, DWORD, IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        StorageNode::Element* element;
        HRESULT hr = create(name, mode, &element);
        if (FAILED(hr)) return hr;
        element->stream = std::make_shared<Bytes>();
        *out = makeComObject<MemoryStream>(element->stream, element->name, mode).detach();
        return S_OK;
    }

    HRESULT OpenStream(const OLECHAR* name, void*, DWORD mode, DWORD, IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        StorageNode::Element* element;
        HRESULT hr = find(name, &element);
        if (FAILED(hr)) return hr;
        if (!element->stream) return STG_E_FILENOTFOUND;
        *out = makeComObject<MemoryStream>(element->stream, element->name, mode).detach();
        return S_OK;
    }

    HRESULT CreateStorage(const OLECHAR* name, DWORD mode, DWORD, DWORD, IStorage** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        StorageNode::Element* element;
        HRESULT hr = create(name, mode, &element);
        if (FAILED(hr)) return hr;
        element->storage = std::make_shared<StorageNode>();
        *out = makeComObject<MemoryStorage>(element->storage, element->name, mode).detach();
        return S_OK;
    }

    HRESULT OpenStorage(const OLECHAR* name, IStorage*, DWORD mode, SNB, DWORD,
                        IStorage** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = nullptr;
        StorageNode::Element* element;
        HRESULT hr = find(name, &element);
        if (FAILED(hr)) return hr;
        if (!element->storage) return STG_E_FILENOTFOUND;
        *out = makeComObject<MemoryStorage>(element->storage, element->name, mode).detach();
        return S_OK;
    }

    HRESULT CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
    HRESULT MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Revert() override { return S_OK; }
    HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    HRESULT DestroyElement(const OLECHAR* name) override {
        std::u16string key;
        HRESULT hr = foldName(name, &key);
        if (FAILED(hr)) return hr;
        return m_node->elements.erase(key) ? S_OK : STG_E_FILENOTFOUND;
    }

    HRESULT RenameElement(const OLECHAR* oldName, const OLECHAR* newName) override {
        std::u16string oldKey, newKey;
        HRESULT hr = foldName(oldName, &oldKey);
        if (SUCCEEDED(hr)) hr = foldName(newName, &newKey);
        if (FAILED(hr)) return hr;
        auto it = m_node->elements.find(oldKey);
        if (it == m_node->elements.end()) return STG_E_FILENOTFOUND;
        if (oldKey != newKey && m_node->elements.count(newKey)) return STG_E_ACCESSDENIED;
        StorageNode::Element element = std::move(it->second);
        m_node->elements.erase(it);
        element.name = newName;
        m_node->elements[newKey] = std::move(element);
        return S_OK;
    }

    HRESULT SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*,
                            const FILETIME*) override {
        return E_NOTIMPL;
    }
    HRESULT SetClass(REFCLSID clsid) override {
        m_node->clsid = clsid;
        return S_OK;
    }
    HRESULT SetStateBits(DWORD stateBits, DWORD mask) override {
        m_node->stateBits = (m_node->stateBits & ~mask) | (stateBits & mask);
        return S_OK;
    }

    HRESULT Stat(STATSTG* stat, DWORD flags) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STORAGE;
        stat->grfMode = m_mode;
        stat->clsid = m_node->clsid;
        stat->grfStateBits = m_node->stateBits;
        if (!(flags & STATFLAG_NONAME) && !m_name.empty()) {
            stat->pwcsName = taskString(m_name);
            if (!stat->pwcsName) return STG_E_INSUFFICIENTMEMORY;
        }
        return S_OK;
    }

  private:
    HRESULT find(const OLECHAR* name, StorageNode::Element** element) {
        std::u16string key;
        HRESULT hr = foldName(name, &key);
        if (FAILED(hr)) return hr;
        auto it = m_node->elements.find(key);
        if (it == m_node->elements.end()) return STG_E_FILENOTFOUND;
        *element = &it->second;
        return S_OK;
    }

    // A fresh element of that name; an existing one is replaced only with STGM_CREATE.
    HRESULT create(const OLECHAR* name, DWORD mode, StorageNode::Element** element) {
        std::u16string key;
        HRESULT hr = foldName(name, &key);
        if (FAILED(hr)) return hr;
        auto it = m_node->elements.find(key);
        if (it != m_node->elements.end() && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
        StorageNode::Element& slot = m_node->elements[key];
        slot = StorageNode::Element{name, nullptr, nullptr};
        *element = &slot;
        return S_OK;
    }

    std::shared_ptr<StorageNode> m_node;
    std::u16string m_name;
    DWORD m_mode;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL global, BOOL, IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (global) return E_INVALIDARG;
    return CreateMemoryStream(out);
}

HRESULT CreateMemoryStream(IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = makeComObject<MemoryStream>(std::make_shared<Bytes>(), std::u16string(), STGM_READWRITE)
               .detach();
    return S_OK;
}

HRESULT CreateMemoryStorage(IStorage** out) {
    if (!out) return E_INVALIDARG;
    *out = makeComObject<MemoryStorage>(std::make_shared<StorageNode>(), std::u16string(),
                                        STGM_READWRITE | STGM_SHARE_EXCLUSIVE)
               .detach();
    return S_OK;
}

HRESULT WriteClassStm(IStream* stream, REFCLSID clsid) {
    if (!stream) return E_INVALIDARG;
    BYTE bytes[16];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<BYTE>(clsid.Data1 >> (8 * i));
    for (int i = 0; i < 2; ++i)
        bytes[4 + i] = static_cast<BYTE>(clsid.Data2 >> (8 * i));
    for (int i = 0; i < 2; ++i)
        bytes[6 + i] = static_cast<BYTE>(clsid.Data3 >> (8 * i));
    std::memcpy(bytes + 8, clsid.Data4, 8);
    ULONG written = 0;
    HRESULT hr = stream->Write(bytes, sizeof bytes, &written);
    if (SUCCEEDED(hr) && written != sizeof bytes) hr = STG_E_MEDIUMFULL;
    return hr;
}

HRESULT ReadClassStm(IStream* stream, CLSID* clsid) {
    if (!stream || !clsid) return E_INVALIDARG;
    BYTE bytes[16];
    ULONG read = 0;
    HRESULT hr = stream->Read(bytes, sizeof bytes, &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof bytes) return STG_E_READFAULT;
    CLSID out{};
    for (int i = 0; i < 4; ++i)
        out.Data1 |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    out.Data2 = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
    out.Data3 = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
    std::memcpy(out.Data4, bytes + 8, 8);
    *clsid = out;
    return S_OK;
}

HRESULT WriteClassStg(IStorage* storage, REFCLSID clsid) {
    if (!storage) return E_INVALIDARG;
    return storage->SetClass(clsid);
}

HRESULT ReadClassStg(IStorage* storage, CLSID* clsid) {
    if (!storage || !clsid) return E_INVALIDARG;
    STATSTG stat;
    HRESULT hr = storage->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    *clsid = stat.clsid;
    return S_OK;
}
