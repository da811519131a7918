// SAFEARRAY creation, element access and destruction.
//
// An array is one malloc block: 16 bytes of prefix (the element VARTYPE sits in the 4 bytes just
// before the SAFEARRAY, where Windows keeps it), then the SAFEARRAY with its cDims bounds. The
// data is a second block.

#include "platform/com/safearray.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/com/variant.h"

namespace {

constexpr size_t kPrefix = 16;

ULONG elementSize(VARTYPE vt) {
    if (UINT size = variantScalarSize(vt)) return size;
    switch (vt) {
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

USHORT featuresOf(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return FADF_HAVEVARTYPE | FADF_BSTR;
        case VT_UNKNOWN:
            return FADF_HAVEVARTYPE | FADF_UNKNOWN;
        case VT_DISPATCH:
            return FADF_HAVEVARTYPE | FADF_DISPATCH;
        case VT_VARIANT:
            return FADF_HAVEVARTYPE | FADF_VARIANT;
        default:
            return FADF_HAVEVARTYPE;
    }
}

DWORD* vartypeSlot(SAFEARRAY* psa) {
    return reinterpret_cast<DWORD*>(reinterpret_cast<char*>(psa) - sizeof(DWORD));
}

VARTYPE vartypeOf(SAFEARRAY* psa) {
    return static_cast<VARTYPE>(*vartypeSlot(psa));
}

// The bound of dimension nDim (1-based, leftmost first).
SAFEARRAYBOUND& bound(SAFEARRAY* psa, UINT nDim) {
    return psa->rgsabound[psa->cDims - nDim];
}

// Releases what the elements own and zeroes them.
void clearElements(SAFEARRAY* psa) {
    ULONG count = safeArrayElementCount(psa);
    char* data = static_cast<char*>(psa->pvData);
    if (!data) return;
    VARTYPE vt = vartypeOf(psa);
    for (ULONG i = 0; i < count; ++i) {
        void* cell = data + static_cast<size_t>(i) * psa->cbElements;
        if (vt == VT_BSTR) {
            SysFreeString(*static_cast<BSTR*>(cell));
        } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
            if (IUnknown* p = *static_cast<IUnknown**>(cell)) p->Release();
        } else if (vt == VT_VARIANT) {
            VariantClear(static_cast<VARIANT*>(cell));
        }
    }
    std::memset(data, 0, static_cast<size_t>(count) * psa->cbElements);
}

// Copies one element value from src into the (cleared or old) cell dst, releasing the old one.
HRESULT assignElement(VARTYPE vt, void* dst, const void* src, ULONG size) {
    if (vt == VT_BSTR) {
        BSTR in = *static_cast<const BSTR*>(src);
        BSTR copy =
            in ? SysAllocStringByteLen(reinterpret_cast<const char*>(in), SysStringByteLen(in))
               : nullptr;
        if (in && !copy) return E_OUTOFMEMORY;
        SysFreeString(*static_cast<BSTR*>(dst));
        *static_cast<BSTR*>(dst) = copy;
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        IUnknown* in = *static_cast<IUnknown* const*>(src);
        if (in) in->AddRef();
        if (IUnknown* old = *static_cast<IUnknown**>(dst)) old->Release();
        *static_cast<IUnknown**>(dst) = in;
    } else if (vt == VT_VARIANT) {
        return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
    } else {
        std::memcpy(dst, src, size);
    }
    return S_OK;
}

}  // namespace

ULONG safeArrayElementCount(SAFEARRAY* psa) {
    if (!psa) return 0;
    ULONG count = 1;
    for (USHORT i = 0; i < psa->cDims; ++i)
        count *= psa->rgsabound[i].cElements;
    return count;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound) {
    ULONG size = elementSize(vt);
    if (size == 0 || cDims == 0 || cDims > 0xFFFF || !rgsabound) return nullptr;
    uint64_t count = 1;
    for (UINT i = 0; i < cDims; ++i) {
        count *= rgsabound[i].cElements;
        if (count * size > 0x7FFFFFFFu) return nullptr;
    }
    size_t headerBytes = kPrefix + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    char* block = static_cast<char*>(std::calloc(1, headerBytes));
    if (!block) return nullptr;
    auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
    *vartypeSlot(psa) = vt;
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = featuresOf(vt);
    psa->cbElements = size;
    // Windows keeps the bounds in reverse order: the last entry describes dimension 1.
    for (UINT i = 0; i < cDims; ++i)
        psa->rgsabound[cDims - 1 - i] = rgsabound[i];
    psa->pvData = std::calloc(count ? static_cast<size_t>(count) : 1, size);
    if (!psa->pvData) {
        std::free(block);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND b{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &b);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    clearElements(psa);
    std::free(psa->pvData);
    std::free(reinterpret_cast<char*>(psa) - kPrefix);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!psa || !ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    std::vector<SAFEARRAYBOUND> bounds(psa->cDims);
    for (UINT d = 1; d <= psa->cDims; ++d)
        bounds[d - 1] = bound(psa, d);
    VARTYPE vt = vartypeOf(psa);
    SAFEARRAY* copy = SafeArrayCreate(vt, psa->cDims, bounds.data());
    if (!copy) return E_OUTOFMEMORY;
    ULONG count = safeArrayElementCount(psa);
    for (ULONG i = 0; i < count; ++i) {
        size_t offset = static_cast<size_t>(i) * psa->cbElements;
        HRESULT hr = assignElement(vt, static_cast<char*>(copy->pvData) + offset,
                                   static_cast<char*>(psa->pvData) + offset, psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
    return psa ? psa->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
    return psa ? psa->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt) return E_INVALIDARG;
    *pvt = vartypeOf(psa);
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& b = bound(psa, nDim);
    *plUbound = static_cast<LONG>(static_cast<int64_t>(b.lLbound) + b.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = bound(psa, nDim).lLbound;
    return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const LONG* rgIndices, void** ppv) {
    if (!psa || !rgIndices || !ppv) return E_INVALIDARG;
    // Dimension 1 varies fastest.
    uint64_t offset = 0;
    uint64_t stride = 1;
    for (UINT d = 1; d <= psa->cDims; ++d) {
        const SAFEARRAYBOUND& b = bound(psa, d);
        int64_t rel = static_cast<int64_t>(rgIndices[d - 1]) - b.lLbound;
        if (rel < 0 || rel >= static_cast<int64_t>(b.cElements)) return DISP_E_BADINDEX;
        offset += static_cast<uint64_t>(rel) * stride;
        stride *= b.cElements;
    }
    *ppv = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv) {
    if (!pv) return E_INVALIDARG;
    void* cell;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
    if (FAILED(hr)) return hr;
    VARTYPE vt = vartypeOf(psa);
    // The caller's slot holds nothing of value yet: start from an empty one.
    if (vt == VT_BSTR) {
        *static_cast<BSTR*>(pv) = nullptr;
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        *static_cast<IUnknown**>(pv) = nullptr;
    } else if (vt == VT_VARIANT) {
        VariantInit(static_cast<VARIANT*>(pv));
    }
    SafeArrayLock(psa);
    hr = assignElement(vt, pv, cell, psa->cbElements);
    SafeArrayUnlock(psa);
    return hr;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv) {
    if (!pv) return E_INVALIDARG;
    void* cell;
    HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
    if (FAILED(hr)) return hr;
    VARTYPE vt = vartypeOf(psa);
    SafeArrayLock(psa);
    // For BSTR and interface elements pv IS the value, not a pointer to it.
    const void* source = (vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH) ? &pv : pv;
    hr = assignElement(vt, cell, source, psa->cbElements);
    SafeArrayUnlock(psa);
    return hr;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0xFFFF) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    if (FAILED(hr)) return hr;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    return SafeArrayUnlock(psa);
}
