#pragma once
// SAFEARRAY: Automation arrays with bounds, a lock count and typed elements.
//
// Arrays of fixed-size scalars (VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT,
// VT_I8, VT_UI8, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BOOL, VT_ERROR) and of VT_BSTR, VT_VARIANT,
// VT_UNKNOWN and VT_DISPATCH elements are supported; the array owns its BSTRs, VARIANTs and
// interface references and frees them when destroyed. Arrays usually have one dimension; more are
// allowed (the socket layer must recognise and refuse them). Dimension 1 is the leftmost, and
// its index varies fastest in memory; rgIndices[0] is the index of dimension 1.
//
//   SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 16);
//   BYTE* data;
//   if (SUCCEEDED(SafeArrayAccessData(bytes, reinterpret_cast<void**>(&data)))) {
//       data[0] = 0x41;
//       SafeArrayUnaccessData(bytes);
//   }
//   SafeArrayDestroy(bytes);

#include "platform/com/com.h"

using VARTYPE = uint16_t;

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

// The Windows layout: rgsabound holds cDims entries, the LAST one describing dimension 1.
struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

// fFeatures bits.
constexpr USHORT FADF_AUTO = 0x0001;
constexpr USHORT FADF_STATIC = 0x0002;
constexpr USHORT FADF_FIXEDSIZE = 0x0010;
constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

// SafeArrayCreate makes an array of cDims dimensions (1 or more) with zeroed elements.
// nullptr for an unsupported element type, cDims 0, a null bounds array, a size that overflows,
// or out of memory.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound);
// SafeArrayCreateVector makes a one-dimensional array of cElements starting at lLbound.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// SafeArrayDestroy frees the elements and the array. E_INVALIDARG for nullptr,
// DISP_E_ARRAYISLOCKED while locked (the array then stays).
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
// SafeArrayCopy makes a deep copy (BSTRs and VARIANTs copied, interfaces AddRef'd).
// E_INVALIDARG for null arguments, E_OUTOFMEMORY.
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

UINT SafeArrayGetDim(SAFEARRAY* psa);       // 0 for nullptr
UINT SafeArrayGetElemsize(SAFEARRAY* psa);  // 0 for nullptr
// SafeArrayGetVartype: E_INVALIDARG for null arguments.
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// Bounds of dimension nDim (1-based). DISP_E_BADINDEX for a dimension out of range,
// E_INVALIDARG for null arguments.
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);

// Element access by index (one index per dimension). GetElement copies the element out (a new
// BSTR, a VariantCopy, an AddRef'd interface); PutElement copies it in, freeing the old value
// (pv points at the value for scalars, is the BSTR / IUnknown* itself for those types, and
// points at a VARIANT for VT_VARIANT). DISP_E_BADINDEX out of bounds, E_INVALIDARG for null
// arguments, E_OUTOFMEMORY.
HRESULT SafeArrayGetElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, const LONG* rgIndices, void* pv);
// SafeArrayPtrOfIndex gives the address of an element (no copy, no lock).
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const LONG* rgIndices, void** ppv);

// Lock/Unlock count users of pvData; Unlock of an unlocked array is E_UNEXPECTED.
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
// AccessData locks the array and hands out its data; UnaccessData unlocks it.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

// safeArrayElementCount is the product of every dimension's element count (0 for nullptr).
ULONG safeArrayElementCount(SAFEARRAY* psa);
