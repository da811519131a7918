// Saved state: the control keeps exactly its extent (_cx, _cy in HIMETRIC), nothing of IWirran.
// Every instance starts with the defaults and the host sets what it needs at run time, so a
// saved form never carries stale socket settings.
//
// Stream form: the format version 0x00000900, then _cx, then _cy, each a 32-bit little-endian
// value (12 bytes). Storage form: that stream, named "Contents". Property bag: "_cx" and "_cy"
// as VT_UI4.

#include "winsock/ocx/control_frame.h"

namespace {

constexpr const OLECHAR* kContentsStream = u"Contents";

void putLe32(BYTE* out, DWORD value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD getLe32(const BYTE* in) {
    DWORD value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<DWORD>(in[i]) << (8 * i);
    return value;
}

}  // namespace

HRESULT WirranFrame::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_Wirran;
    return S_OK;
}

HRESULT WirranFrame::IsDirty() {
    return m_dirty ? S_OK : S_FALSE;
}

HRESULT WirranFrame::InitNew() {
    m_extent = naturalExtent();
    m_dirty = false;
    return S_OK;
}

// ---- Stream ------------------------------------------------------------------------------------

HRESULT WirranFrame::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    BYTE data[kWirranStreamSize];
    ULONG read = 0;
    HRESULT hr = stream->Read(data, sizeof data, &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof data) return STG_E_READFAULT;
    // A newer format than this control writes cannot be read safely.
    if (getLe32(data) > kWirranStreamVersion) return E_FAIL;
    m_extent = SIZEL{static_cast<LONG>(getLe32(data + 4)), static_cast<LONG>(getLe32(data + 8))};
    m_dirty = false;
    return S_OK;
}

HRESULT WirranFrame::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    BYTE data[kWirranStreamSize];
    putLe32(data, kWirranStreamVersion);
    putLe32(data + 4, static_cast<DWORD>(m_extent.cx));
    putLe32(data + 8, static_cast<DWORD>(m_extent.cy));
    ULONG written = 0;
    HRESULT hr = stream->Write(data, sizeof data, &written);
    if (FAILED(hr)) return hr;
    if (written != sizeof data) return STG_E_MEDIUMFULL;
    if (clearDirty) m_dirty = false;
    return S_OK;
}

HRESULT WirranFrame::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = kWirranStreamSize;
    return S_OK;
}

// ---- Storage -----------------------------------------------------------------------------------

HRESULT WirranFrame::InitNew(IStorage* storage) {
    if (!storage) return E_POINTER;
    return InitNew();
}

HRESULT WirranFrame::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                     stream.put());
    if (FAILED(hr)) return hr;
    return Load(stream.get());
}

HRESULT WirranFrame::Save(IStorage* storage, BOOL sameAsLoad) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(
        kContentsStream, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put());
    if (FAILED(hr)) return hr;
    return Save(stream.get(), sameAsLoad);
}

HRESULT WirranFrame::SaveCompleted(IStorage*) {
    return S_OK;
}

HRESULT WirranFrame::HandsOffStorage() {
    return S_OK;
}

// ---- Property bag ------------------------------------------------------------------------------

HRESULT WirranFrame::Load(IPropertyBag* bag, IErrorLog* errorLog) {
    if (!bag) return E_POINTER;
    // A bag without the extent (a page written by hand) keeps the natural one.
    SIZEL extent = naturalExtent();
    Variant cx, cy;
    cx.vt = VT_UI4;
    cy.vt = VT_UI4;
    if (SUCCEEDED(bag->Read(u"_cx", &cx, errorLog)) && cx.vt == VT_UI4)
        extent.cx = static_cast<LONG>(cx.ulVal);
    if (SUCCEEDED(bag->Read(u"_cy", &cy, errorLog)) && cy.vt == VT_UI4)
        extent.cy = static_cast<LONG>(cy.ulVal);
    m_extent = extent;
    m_dirty = false;
    return S_OK;
}

HRESULT WirranFrame::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    Variant cx, cy;
    cx.vt = VT_UI4;
    cx.ulVal = static_cast<ULONG>(m_extent.cx);
    cy.vt = VT_UI4;
    cy.ulVal = static_cast<ULONG>(m_extent.cy);
    HRESULT hr = bag->Write(u"_cx", &cx);
    if (SUCCEEDED(hr)) hr = bag->Write(u"_cy", &cy);
    if (FAILED(hr)) return hr;
    if (clearDirty) m_dirty = false;
    return S_OK;
}
