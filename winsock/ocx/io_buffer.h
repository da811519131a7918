#pragma once
// The buffers of Read and Write: which VARIANTs they take, how many bytes a call moves, and how
// bytes become the caller's value and back.
//
// Strings cross as ISO-8859-1, one byte per character both ways, so any byte sequence survives a
// round trip through a string. Arrays (one dimension) and scalars of 8-, 16- and 32-bit integers
// move as their bytes; with network byte order the 16- and 32-bit ones are converted element by
// element.
//
//   ReadPlan plan;
//   if (HRESULT hr = planRead(Buffer, Length, &plan); FAILED(hr)) return hr;
//   ReadTarget target(plan);
//   int n = socketReceive(handle, target.data(), plan.count);
//   if (n >= 0) target.store(n, networkOrder);

#include <cstdint>
#include <memory>

#include "platform/com/variant.h"

// Scratch memory for one call: on the stack up to 4096 bytes (a page: the usual record or line,
// with no allocation per call), else on the heap, freed with it.
class ByteScratch {
  public:
    ByteScratch() = default;
    ByteScratch(const ByteScratch&) = delete;
    ByteScratch& operator=(const ByteScratch&) = delete;
    // reserve returns room for size bytes (replacing what an earlier call gave); nullptr when
    // the heap has none.
    uint8_t* reserve(size_t size);

  private:
    uint8_t m_stack[4096];
    std::unique_ptr<uint8_t[]> m_heap;
};

struct ReadPlan {
    enum class Kind { String, Array, NewArray, Scalar };
    Kind kind = Kind::String;
    VARIANT* target = nullptr;  // the caller's VARIANT (a by-reference variant followed once)
    VARTYPE elementType = VT_EMPTY;
    UINT elementSize = 1;
    LONG count = 0;  // bytes to receive, at least 1
};

// planRead decides what Read receives into. The count: for a string or an empty VARIANT, Length
// or else 8192; for a one-dimensional integer array its size in bytes, lowered to Length (a
// by-reference array not yet allocated takes Length); for an integer scalar its size, lowered to
// Length, which must be given. E_INVALIDARG for a missing or VT_ERROR buffer, another type, more
// than one dimension, a negative Length, a missing Length where one is needed, or a count of 0;
// a Length that does not convert to a number fails with the conversion's error.
HRESULT planRead(VARIANT* buffer, const VARIANT& length, ReadPlan* plan);

// storeRead gives the caller n received bytes: a string of n characters; the first n bytes of
// the array or scalar (integers converted from network byte order when networkOrder); a new
// array of n bytes' worth of elements for an unallocated one. E_OUTOFMEMORY.
HRESULT storeRead(const ReadPlan& plan, const uint8_t* data, int n, bool networkOrder);

// Where Read receives: straight into the caller's array when there is one (locked while the
// call runs, so a handler run during the wait cannot free it), else into scratch memory.
class ReadTarget {
  public:
    explicit ReadTarget(const ReadPlan& plan);
    ~ReadTarget();
    ReadTarget(const ReadTarget&) = delete;
    ReadTarget& operator=(const ReadTarget&) = delete;

    // Room for plan.count bytes; nullptr when there is no memory or the array cannot be locked.
    uint8_t* data() { return m_data; }
    // store gives the caller the first n bytes received, as storeRead does.
    HRESULT store(int n, bool networkOrder);

  private:
    const ReadPlan& m_plan;
    ByteScratch m_scratch;
    SAFEARRAY* m_locked = nullptr;
    uint8_t* m_data = nullptr;
};

// The bytes Write sends, owned for the call.
// An array sent as it is stays locked until the call ends, so a handler run during the wait
// cannot free it under the send.
class WriteBytes {
  public:
    WriteBytes() = default;
    ~WriteBytes();
    WriteBytes(const WriteBytes&) = delete;
    WriteBytes& operator=(const WriteBytes&) = delete;

    const uint8_t* data() const { return m_data; }
    LONG count() const { return m_count; }

  private:
    friend HRESULT prepareWrite(const VARIANT& buffer, const VARIANT& length, bool networkOrder,
                                WriteBytes* out);
    ByteScratch m_scratch;
    SAFEARRAY* m_locked = nullptr;
    const uint8_t* m_data = nullptr;
    LONG m_count = 0;
};

// prepareWrite takes the bytes of a string (one per character; characters above U+00FF become
// "?"), of a one-dimensional integer array or of an integer scalar (converted to network byte
// order when networkOrder), following a by-reference variant once; Length lowers the count.
// E_INVALIDARG for a missing buffer, another type, more than one dimension, an unallocated array
// or a negative Length; E_OUTOFMEMORY.
HRESULT prepareWrite(const VARIANT& buffer, const VARIANT& length, bool networkOrder,
                     WriteBytes* out);
