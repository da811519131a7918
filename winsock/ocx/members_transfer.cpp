// Line, byte and stream transfers over the control's TCP connection, and Peek and Flush.
//
// Each converts its arguments, runs the socket layer's transfer (stream_transfer.h) on the
// control's socket and reports a failure through ReportError with the code the layer left in
// its error slot. Without a socket they fail as a stream operation on no socket does.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/com/safearray.h"
#include "winsock/ocx/arguments.h"
#include "winsock/ocx/base/error_slot.h"
#include "winsock/ocx/base/error_table.h"
#include "winsock/ocx/io_buffer.h"
#include "winsock/ocx/socket/stream_transfer.h"
#include "winsock/ocx/socket/transfer.h"
#include "winsock/ocx/wirran.h"

namespace {

// Replaces an output VARIANT's value by text (one character per byte). False when the text
// could not be made (too long, or no memory); the output is then empty.
bool storeLatin1(VARIANT* target, std::string_view bytes) {
    BSTR text = bstrFromLatin1(bytes);
    target = variantDeref(target);
    if (target->vt == (VT_BYREF | VT_BSTR)) {
        SysFreeString(*target->pbstrVal);
        *target->pbstrVal = text;
    } else {
        VariantClear(target);
        target->vt = VT_BSTR;
        target->bstrVal = text;
    }
    return text || bytes.empty();
}

// An output the caller left out arrives as VT_ERROR (or not at all).
bool outputGiven(VARIANT* out) {
    return out && variantDeref(out)->vt != VT_ERROR;
}

// Whether an output VARIANT asks for a byte array rather than a string.
bool wantsByteArray(VARIANT* target) {
    VARTYPE vt = variantDeref(target)->vt & ~VT_BYREF;
    return vt == (VT_ARRAY | VT_UI1);
}

// Replaces an output VARIANT's value by a new byte array. E_OUTOFMEMORY.
HRESULT storeByteArray(VARIANT* target, const std::vector<uint8_t>& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) return E_OUTOFMEMORY;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        return E_OUTOFMEMORY;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    target = variantDeref(target);
    if (target->vt == (VT_BYREF | VT_ARRAY | VT_UI1)) {
        if (*target->pparray) SafeArrayDestroy(*target->pparray);
        *target->pparray = array;
        return S_OK;
    }
    VariantClear(target);
    target->vt = VT_ARRAY | VT_UI1;
    target->parray = array;
    return S_OK;
}

// WriteByte's value: integers and bytes as they are, floats rounded, a string's first
// character. E_INVALIDARG for anything outside 0-255 or of another type.
HRESULT byteValue(const VARIANT& arg, uint8_t* out) {
    const VARIANT* value = variantDeref(&arg);
    VARTYPE vt = value->vt & ~VT_BYREF;
    bool byRef = (value->vt & VT_BYREF) != 0;
    double number;
    switch (vt) {
        case VT_UI1:
            *out = byRef ? *value->pbVal : value->bVal;
            return S_OK;
        case VT_I2:
            number = byRef ? *value->piVal : value->iVal;
            break;
        case VT_I4:
            number = byRef ? *value->plVal : value->lVal;
            break;
        case VT_R4:
            number = std::nearbyint(byRef ? *value->pfltVal : value->fltVal);
            break;
        case VT_R8:
            number = std::nearbyint(byRef ? *value->pdblVal : value->dblVal);
            break;
        case VT_BSTR: {
            BSTR text = byRef ? *value->pbstrVal : value->bstrVal;
            if (SysStringLen(text) == 0) return E_INVALIDARG;
            *out = static_cast<uint8_t>(bstrToLatin1(text).front());
            return S_OK;
        }
        default:
            return E_INVALIDARG;
    }
    if (!(number >= 0 && number <= 255)) return E_INVALIDARG;
    *out = static_cast<uint8_t>(number);
    return S_OK;
}

// A wanted or given length argument: absent or VT_ERROR is 0. E_INVALIDARG below 0.
HRESULT lengthArgument(VARIANT* length, LONG* out) {
    *out = 0;
    if (!outputGiven(length)) return S_OK;
    if (HRESULT hr = optionalLong(*length, 0, out); FAILED(hr)) return hr;
    return *out < 0 ? E_INVALIDARG : S_OK;
}

// A file that a stream member reads from, closed when the member ends.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using StreamFile = std::unique_ptr<std::FILE, FileCloser>;

// Whether a WriteStream buffer is another control, and then its socket (-1 when it has none,
// which the layer refuses as an invalid handle).
bool connectionOf(const VARIANT& arg, int32_t* socket) {
    const VARIANT* value = variantDeref(&arg);
    VARTYPE vt = value->vt & ~VT_BYREF;
    if (vt != VT_DISPATCH && vt != VT_UNKNOWN) return false;
    bool byRef = (value->vt & VT_BYREF) != 0;
    IUnknown* object = byRef ? *value->ppunkVal : value->punkVal;
    ComPtr<IWirran> control;
    if (!object || FAILED(object->QueryInterface(IID_IWirran, control.putVoid()))) return false;
    LONG handle = wrInvalidSocket;
    if (FAILED(control->get_Handle(&handle))) return false;
    *socket = handle;
    return true;
}

uint32_t streamOptions(LONG options) {
    uint32_t bits = static_cast<uint32_t>(options) & ~uint32_t{wrStreamConvert | wrStreamFile};
    if (options & wrStreamConvert) bits |= kvlink::kStreamConvert;
    return bits;
}

}  // namespace

HRESULT CWirran::failTransfer(VARIANT* result, ResultKind kind) {
    // An abort closed the socket while the call waited.
    if (SocketErrorCode(SocketError()) == wrErrorConnectionAborted) m_socket = wrInvalidSocket;
    return failMethod(result, 0, kind);
}

HRESULT CWirran::ReadByte(VARIANT* Result) {
    if (!Result) return E_POINTER;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Count);
    int byte = kvlink::streamReadByte(m_socket);
    if (byte < 0) return failTransfer(Result, ResultKind::Count);
    setLongResult(Result, byte);
    return S_OK;
}

HRESULT CWirran::WriteByte(VARIANT Value, VARIANT* Result) {
    if (!Result) return E_POINTER;
    uint8_t byte = 0;
    if (HRESULT hr = byteValue(Value, &byte); FAILED(hr)) return hr;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
    if (kvlink::socketSend(m_socket, &byte, 1) < 0) return failTransfer(Result, ResultKind::Flag);
    setBoolResult(Result, true);
    return S_OK;
}

HRESULT CWirran::ReadLine(VARIANT* Buffer, VARIANT Length, VARIANT* Result) {
    if (!Result || !Buffer) return E_POINTER;
    LONG length = 0;
    if (HRESULT hr = optionalLong(Length, 8192, &length); FAILED(hr)) return hr;
    VARTYPE vt = variantDeref(Buffer)->vt & ~VT_BYREF;
    if (length < 1 || (vt != VT_BSTR && vt != VT_EMPTY)) return E_INVALIDARG;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
    std::string line;
    if (!kvlink::streamReadLine(m_socket, length, &line)) {
        if (SocketErrorCode(SocketError()) == wrErrorConnectionClosed) {
            // The end of the conversation is an answer a line reader expects: it is kept in
            // LastError, but neither thrown nor announced by OnError.
            storeLatin1(Buffer, {});
            ReportError(wirranErrorHresult(wrErrorConnectionClosed), false, false);
            setBoolResult(Result, false);
            return S_OK;
        }
        storeLatin1(Buffer, {});
        return failTransfer(Result, ResultKind::Flag);
    }
    storeLatin1(Buffer, line);
    setBoolResult(Result, true);
    return S_OK;
}

HRESULT CWirran::WriteLine(VARIANT Buffer, VARIANT* Result) {
    if (!Result) return E_POINTER;
    std::string text;
    if (!isMissingArg(&Buffer)) {
        if (variantDeref(&Buffer)->vt & VT_ARRAY) return E_INVALIDARG;
        Variant converted;
        if (HRESULT hr = VariantChangeType(&converted, variantDeref(&Buffer), 0, VT_BSTR);
            FAILED(hr))
            return hr;
        text = bstrToLatin1(converted.bstrVal);
    }
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
    if (!kvlink::streamWriteLine(m_socket, text)) return failTransfer(Result, ResultKind::Flag);
    setBoolResult(Result, true);
    return S_OK;
}

HRESULT CWirran::ReadStream(VARIANT* Buffer, VARIANT* Length, VARIANT Marker, VARIANT Options,
                            VARIANT* Result) {
    if (!Result || !Buffer) return E_POINTER;
    LONG wanted = 0, options = 0;
    Bstr marker;
    if (HRESULT hr = lengthArgument(Length, &wanted); FAILED(hr)) return hr;
    if (HRESULT hr = optionalString(Marker, nullptr, &marker); FAILED(hr)) return hr;
    if (HRESULT hr = optionalLong(Options, wrStreamDefault, &options); FAILED(hr)) return hr;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
    kvlink::StreamTarget target;
    uint64_t count = 0;
    bool ok = kvlink::streamRead(m_socket, &target, static_cast<uint64_t>(wanted), marker.latin1(),
                                 streamOptions(options), &count);
    // What came before a failure is the caller's too.
    bool stored = wantsByteArray(Buffer)
                      ? SUCCEEDED(storeByteArray(Buffer, target.memory))
                      : storeLatin1(Buffer, std::string_view(
                                                reinterpret_cast<const char*>(target.memory.data()),
                                                target.memory.size()));
    if (!stored) {
        // A stream too large to hand over is lost, never reported as read.
        if (outputGiven(Length)) writeCountToVariant(Length, 0);
        return failMethod(Result, wirranErrorHresult(wrErrorOutOfMemory), ResultKind::Flag);
    }
    if (outputGiven(Length)) writeCountToVariant(Length, static_cast<ULONG>(count));
    if (!ok) return failTransfer(Result, ResultKind::Flag);
    setBoolResult(Result, true);
    return S_OK;
}

HRESULT CWirran::StoreStream(VARIANT FileName, VARIANT* Length, VARIANT Offset, VARIANT Options,
                             VARIANT* Result) {
    if (!Result) return E_POINTER;
    Bstr name;
    LONG wanted = 0, offset = 0, options = 0;
    if (HRESULT hr = optionalString(FileName, nullptr, &name); FAILED(hr)) return hr;
    if (HRESULT hr = lengthArgument(Length, &wanted); FAILED(hr)) return hr;
    if (HRESULT hr = optionalLong(Offset, 0, &offset); FAILED(hr)) return hr;
    if (HRESULT hr = optionalLong(Options, wrStreamDefault, &options); FAILED(hr)) return hr;
    if (offset < 0) return E_INVALIDARG;
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
    std::FILE* file = kvlink::openStoreFile(name.utf8(), static_cast<uint64_t>(offset));
    if (!file) return failMethod(Result, 0, ResultKind::Flag);
    kvlink::StreamTarget target;
    target.kind = kvlink::StreamTarget::Kind::File;
    target.file = file;
    uint64_t count = 0;
    bool ok = kvlink::streamRead(m_socket, &target, static_cast<uint64_t>(wanted), {},
                                 streamOptions(options), &count);
    if (std::fclose(file) != 0 && ok) {
        SetSocketError(wrErrorFileWriteFailed);
        ok = false;
    }
    if (outputGiven(Length)) writeCountToVariant(Length, static_cast<ULONG>(count));
    if (!ok) return failTransfer(Result, ResultKind::Flag);
    setBoolResult(Result, true);
    return S_OK;
}

HRESULT CWirran::WriteStream(VARIANT Buffer, VARIANT* Length, VARIANT Options, VARIANT* Result) {
    if (!Result) return E_POINTER;
    LONG options = 0, length = 0;
    if (HRESULT hr = optionalLong(Options, wrStreamDefault, &options); FAILED(hr)) return hr;
    if (isMissingArg(&Buffer)) return E_INVALIDARG;
    kvlink::StreamSource source;
    WriteBytes bytes;
    StreamFile file;
    if (int32_t other = wrInvalidSocket; connectionOf(Buffer, &other)) {
        // Another control: what its connection receives goes out through this one.
        if (HRESULT hr = lengthArgument(Length, &length); FAILED(hr)) return hr;
        source.kind = kvlink::StreamSource::Kind::Socket;
        source.socket = other;
    } else if (options & wrStreamFile) {
        // Buffer names a file, sent from its start.
        Bstr name;
        if (HRESULT hr = optionalString(Buffer, nullptr, &name); FAILED(hr)) return hr;
        if (HRESULT hr = lengthArgument(Length, &length); FAILED(hr)) return hr;
        if (!hasSocket())
            return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
        if (name.empty())
            return failMethod(Result, wirranErrorHresult(wrErrorInvalidFileName), ResultKind::Flag);
        file.reset(std::fopen(name.utf8().c_str(), "rb"));
        if (!file)
            return failMethod(Result, wirranErrorHresult(wrErrorFileReadFailed), ResultKind::Flag);
        source.kind = kvlink::StreamSource::Kind::File;
        source.file = file.get();
    } else {
        Variant noLength;
        const VARIANT& lengthArg = outputGiven(Length) ? *Length : noLength;
        if (HRESULT hr = prepareWrite(Buffer, lengthArg, false, &bytes); FAILED(hr)) return hr;
        source.buffer = bytes.data();
        // The layer refuses an empty source (10023) as a missing length.
        length = bytes.count();
    }
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Flag);
    uint64_t count = 0;
    bool ok = kvlink::streamWrite(m_socket, source, static_cast<uint64_t>(length), &count);
    if (outputGiven(Length)) writeCountToVariant(Length, static_cast<ULONG>(count));
    if (!ok) return failTransfer(Result, ResultKind::Flag);
    setBoolResult(Result, true);
    return S_OK;
}

HRESULT CWirran::Peek(VARIANT* Buffer, VARIANT Length, VARIANT* Result) {
    if (!Result) return E_POINTER;
    bool withBuffer = outputGiven(Buffer);
    ReadPlan plan;
    if (withBuffer) {
        if (HRESULT hr = planRead(Buffer, Length, &plan); FAILED(hr)) return hr;
    } else {
        LONG length = 0;
        if (HRESULT hr = optionalLong(Length, 8192, &length); FAILED(hr)) return hr;
        if (length < 0) return E_INVALIDARG;
        plan.count = 8192;
    }
    if (!hasSocket())
        return failMethod(Result, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::Count);
    ReadTarget target(plan);
    if (withBuffer && !target.data()) return E_OUTOFMEMORY;
    int n = kvlink::streamPeek(m_socket, withBuffer ? target.data() : nullptr, plan.count);
    if (n < 0) return failTransfer(Result, ResultKind::Count);
    if (withBuffer) {
        if (HRESULT hr = target.store(n, m_state.byteOrder == wrNetworkByteOrder); FAILED(hr))
            return hr;
    }
    setLongResult(Result, n);
    return S_OK;
}

HRESULT CWirran::Flush(VARIANT* Error) {
    if (!Error) return E_POINTER;
    if (!hasSocket())
        return failMethod(Error, wirranErrorHresult(wrErrorInvalidHandle), ResultKind::ErrorCode);
    if (!kvlink::streamFlush(m_socket)) return failTransfer(Error, ResultKind::ErrorCode);
    setLongResult(Error, 0);
    return S_OK;
}
