// Read's and Write's buffers: the VARIANT types they take and the bytes behind them.

#include "winsock/ocx/io_buffer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "winsock/ocx/arguments.h"

namespace {

// A string read without a Length asks for this many bytes.
constexpr LONG kDefaultStringCount = 8192;

// The size of an integer element or scalar that Read and Write move as bytes; 0 for any other
// type.
UINT integerSize(VARTYPE vt) {
    bool integer =
        vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 || vt == VT_UI4;
    return integer ? variantScalarSize(vt) : 0;
}

// Swaps every whole element between network and local byte order (the same operation both
// ways on this little-endian platform, and nothing on a big-endian one).
void swapElements(uint8_t* data, size_t bytes, UINT size) {
    if constexpr (std::endian::native == std::endian::big) return;
    if (size < 2) return;
    for (size_t at = 0; at + size <= bytes; at += size)
        std::reverse(data + at, data + at + size);
}

// The ISO-8859-1 conversions, the hot loops of string reads and writes: 32 characters a step,
// with AVX2 where the processor has it (checked once, at run time) and SSE2 otherwise, one at a
// time for the rest.
#if defined(__x86_64__)
const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

// 32 bytes take two widening loads and two stores.
// Returns how many it converted: a multiple of 32.
__attribute__((target("avx2"))) size_t widenLatin1Avx2(const uint8_t* from, OLECHAR* to,
                                                       size_t count) {
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), _mm256_cvtepu8_epi16(first));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i + 16), _mm256_cvtepu8_epi16(second));
    }
    return i;
}
#endif

// Each byte becomes one code unit.
void widenLatin1(const uint8_t* from, OLECHAR* to, size_t count) {
    size_t i = 0;
#if defined(__x86_64__)
    if (kHaveAvx2) i = widenLatin1Avx2(from, to, count);
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto* out = reinterpret_cast<__m128i*>(to + i);
    for (; i + 32 <= count; i += 32, out += 4) {
        __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 16));
        _mm_storeu_si128(out, _mm_unpacklo_epi8(first, zero));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi8(first, zero));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi8(second, zero));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi8(second, zero));
    }
#endif
    for (; i < count; ++i)
        to[i] = from[i];
}

void narrowOneByOne(const OLECHAR* from, uint8_t* to, size_t count) {
    for (size_t i = 0; i < count; ++i)
        to[i] = from[i] <= 0xFF ? static_cast<uint8_t>(from[i]) : '?';
}

#if defined(__x86_64__)
// 32 code units take one check, one pack and one store.
// Returns how many it converted: a multiple of 32.
__attribute__((target("avx2"))) size_t narrowLatin1Avx2(const OLECHAR* from, uint8_t* to,
                                                        size_t count) {
    const __m256i highBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i + 16));
        if (!_mm256_testz_si256(_mm256_or_si256(a, b), highBytes)) {
            narrowOneByOne(from + i, to + i, 32);
            continue;
        }
        // The pack works per 128-bit lane; the permute puts the four quarters back in order.
        __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), packed);
    }
    return i;
}
#endif

// Each code unit becomes one byte; one above U+00FF cannot and becomes "?".
void narrowLatin1(const OLECHAR* from, uint8_t* to, size_t count) {
    size_t i = 0;
#if defined(__x86_64__)
    if (kHaveAvx2) i = narrowLatin1Avx2(from, to, count);
#endif
#if defined(__SSE2__)
    // 32 code units at a time, checked at once for any above U+00FF (rare: then one by one).
    const __m128i zero = _mm_setzero_si128();
    const __m128i highBytes = _mm_set1_epi16(static_cast<short>(0xFF00));
    for (; i + 32 <= count; i += 32) {
        const auto* in = reinterpret_cast<const __m128i*>(from + i);
        __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1);
        __m128i c = _mm_loadu_si128(in + 2), d = _mm_loadu_si128(in + 3);
        __m128i wide =
            _mm_and_si128(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)), highBytes);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(wide, zero)) != 0xFFFF) {
            narrowOneByOne(from + i, to + i, 32);
            continue;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(a, b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 16), _mm_packus_epi16(c, d));
    }
#endif
    narrowOneByOne(from + i, to + i, count - i);
}

// Length as a byte count: absent gives *given = false; negative is E_INVALIDARG.
HRESULT lengthArgument(const VARIANT& length, bool* given, LONG* value) {
    *given = !isMissingArg(&length);
    if (!*given) return S_OK;
    if (HRESULT hr = optionalLong(length, 0, value); FAILED(hr)) return hr;
    return *value < 0 ? E_INVALIDARG : S_OK;
}

// The array a VARIANT of array type holds, by value or by reference.
SAFEARRAY* arrayOf(const VARIANT* v) {
    if (v->vt & VT_BYREF) return v->pparray ? *v->pparray : nullptr;
    return v->parray;
}

// The scalar's bytes, by value or by reference.
void* scalarOf(VARIANT* v) {
    return (v->vt & VT_BYREF) ? v->byref : static_cast<void*>(&v->llVal);
}

}  // namespace

uint8_t* ByteScratch::reserve(size_t size) {
    if (size <= sizeof m_stack) return m_stack;
    m_heap.reset(new (std::nothrow) uint8_t[size]);
    return m_heap.get();
}

HRESULT planRead(VARIANT* buffer, const VARIANT& length, ReadPlan* plan) {
    if (!buffer) return E_INVALIDARG;
    VARIANT* target = variantDeref(buffer);
    bool lengthGiven = false;
    LONG lengthValue = 0;
    if (HRESULT hr = lengthArgument(length, &lengthGiven, &lengthValue); FAILED(hr)) return hr;

    VARTYPE type = target->vt & ~VT_BYREF;
    bool byRef = (target->vt & VT_BYREF) != 0;
    *plan = ReadPlan{};
    plan->target = target;
    if (type == VT_EMPTY || type == VT_BSTR) {
        plan->kind = ReadPlan::Kind::String;
        plan->count = lengthGiven ? lengthValue : kDefaultStringCount;
    } else if (type & VT_ARRAY) {
        plan->elementType = type & VT_TYPEMASK;
        plan->elementSize = integerSize(plan->elementType);
        if (plan->elementSize == 0 || (byRef && !target->pparray)) return E_INVALIDARG;
        SAFEARRAY* array = arrayOf(target);
        if (!array) {
            // A by-reference array not yet allocated is made to fit what arrives.
            if (!byRef || !lengthGiven) return E_INVALIDARG;
            plan->kind = ReadPlan::Kind::NewArray;
            plan->count = lengthValue;
        } else {
            if (SafeArrayGetDim(array) != 1) return E_INVALIDARG;
            plan->kind = ReadPlan::Kind::Array;
            ULONG bytes = safeArrayElementCount(array) * plan->elementSize;
            plan->count = static_cast<LONG>(std::min<ULONG>(bytes, 0x7FFFFFFF));
            if (lengthGiven) plan->count = std::min(plan->count, lengthValue);
        }
    } else {
        plan->elementType = type;
        plan->elementSize = integerSize(type);
        if (plan->elementSize == 0 || !lengthGiven || (byRef && !target->byref))
            return E_INVALIDARG;
        plan->kind = ReadPlan::Kind::Scalar;
        plan->count = std::min(static_cast<LONG>(plan->elementSize), lengthValue);
    }
    return plan->count == 0 ? E_INVALIDARG : S_OK;
}

HRESULT storeRead(const ReadPlan& plan, const uint8_t* data, int n, bool networkOrder) {
    VARIANT* target = plan.target;
    size_t bytes = static_cast<size_t>(std::max(n, 0));
    switch (plan.kind) {
        case ReadPlan::Kind::String: {
            BSTR* slot = target->vt == (VT_BYREF | VT_BSTR) ? target->pbstrVal
                         : target->vt == VT_BSTR            ? &target->bstrVal
                                                            : nullptr;
            // A caller that reads chunk after chunk into one variable holds a string of the
            // right length already: it is the caller's to give back, so it is filled in place
            // rather than freed and made again.
            if (slot && *slot && SysStringLen(*slot) == bytes) {
                widenLatin1(data, *slot, bytes);
                return S_OK;
            }
            BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(bytes));
            if (!text) return E_OUTOFMEMORY;
            widenLatin1(data, text, bytes);
            if (slot) {
                SysFreeString(*slot);
                *slot = text;
            } else {
                VariantClear(target);
                target->vt = VT_BSTR;
                target->bstrVal = text;
            }
            return S_OK;
        }
        case ReadPlan::Kind::NewArray: {
            ULONG elements = static_cast<ULONG>((bytes + plan.elementSize - 1) / plan.elementSize);
            SAFEARRAY* array = SafeArrayCreateVector(plan.elementType, 0, elements);
            if (!array) return E_OUTOFMEMORY;
            auto* into = static_cast<uint8_t*>(array->pvData);
            if (bytes) std::memcpy(into, data, bytes);
            if (networkOrder) swapElements(into, bytes, plan.elementSize);
            *target->pparray = array;
            return S_OK;
        }
        case ReadPlan::Kind::Array: {
            SAFEARRAY* array = arrayOf(target);
            void* into = nullptr;
            if (HRESULT hr = SafeArrayAccessData(array, &into); FAILED(hr)) return hr;
            if (bytes) std::memcpy(into, data, bytes);
            if (networkOrder) swapElements(static_cast<uint8_t*>(into), bytes, plan.elementSize);
            SafeArrayUnaccessData(array);
            return S_OK;
        }
        case ReadPlan::Kind::Scalar: {
            auto* into = static_cast<uint8_t*>(scalarOf(target));
            if (bytes) std::memcpy(into, data, bytes);
            if (networkOrder) swapElements(into, bytes, plan.elementSize);
            return S_OK;
        }
    }
    return E_UNEXPECTED;
}

ReadTarget::ReadTarget(const ReadPlan& plan) : m_plan(plan) {
    if (plan.kind == ReadPlan::Kind::Array) {
        SAFEARRAY* array = arrayOf(plan.target);
        if (SUCCEEDED(SafeArrayLock(array))) {
            m_locked = array;
            m_data = static_cast<uint8_t*>(array->pvData);
        }
        return;
    }
    m_data = m_scratch.reserve(static_cast<size_t>(plan.count));
}

ReadTarget::~ReadTarget() {
    if (m_locked) SafeArrayUnlock(m_locked);
}

HRESULT ReadTarget::store(int n, bool networkOrder) {
    if (!m_locked) return storeRead(m_plan, m_data, n, networkOrder);
    // The bytes are in the array already.
    if (networkOrder) swapElements(m_data, static_cast<size_t>(std::max(n, 0)), m_plan.elementSize);
    return S_OK;
}

WriteBytes::~WriteBytes() {
    if (m_locked) SafeArrayUnlock(m_locked);
}

HRESULT prepareWrite(const VARIANT& buffer, const VARIANT& length, bool networkOrder,
                     WriteBytes* out) {
    const VARIANT* source = variantDeref(&buffer);
    bool lengthGiven = false;
    LONG lengthValue = 0;
    if (HRESULT hr = lengthArgument(length, &lengthGiven, &lengthValue); FAILED(hr)) return hr;
    auto limit = [&](LONG count) { return lengthGiven ? std::min(count, lengthValue) : count; };

    VARTYPE type = source->vt & ~VT_BYREF;
    bool byRef = (source->vt & VT_BYREF) != 0;
    if (type == VT_BSTR) {
        BSTR text = byRef ? (source->pbstrVal ? *source->pbstrVal : nullptr) : source->bstrVal;
        LONG count = limit(static_cast<LONG>(SysStringLen(text)));
        uint8_t* bytes = out->m_scratch.reserve(static_cast<size_t>(count));
        if (!bytes) return E_OUTOFMEMORY;
        narrowLatin1(text, bytes, static_cast<size_t>(count));
        out->m_data = bytes;
        out->m_count = count;
        return S_OK;
    }

    UINT size = integerSize(type & VT_TYPEMASK);
    if (size == 0) return E_INVALIDARG;
    const uint8_t* from = nullptr;
    LONG count = 0;
    if (type & VT_ARRAY) {
        if (byRef && !source->pparray) return E_INVALIDARG;
        SAFEARRAY* array = arrayOf(source);
        if (!array || SafeArrayGetDim(array) != 1) return E_INVALIDARG;
        ULONG bytes = safeArrayElementCount(array) * size;
        count = limit(static_cast<LONG>(std::min<ULONG>(bytes, 0x7FFFFFFF)));
        if (HRESULT hr = SafeArrayLock(array); FAILED(hr)) return hr;
        out->m_locked = array;
        from = static_cast<const uint8_t*>(array->pvData);
    } else {
        if (byRef && !source->byref) return E_INVALIDARG;
        count = limit(static_cast<LONG>(size));
        from = static_cast<const uint8_t*>(scalarOf(const_cast<VARIANT*>(source)));
    }
    if (networkOrder && size > 1) {
        uint8_t* bytes = out->m_scratch.reserve(static_cast<size_t>(count));
        if (!bytes) return E_OUTOFMEMORY;
        if (count) std::memcpy(bytes, from, static_cast<size_t>(count));
        swapElements(bytes, static_cast<size_t>(count), size);
        from = bytes;
    }
    out->m_data = from;
    out->m_count = count;
    return S_OK;
}
