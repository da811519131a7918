#pragma once
// FakeWirran: a TEST DOUBLE of the socket control, for the HTTP client's and the lookup's tests
// only (never linked into a program). It answers by member name to exactly what the HTTP client
// uses (AutoResolve, Blocking, Timeout, Secure, Connect, Write, Read, Disconnect, LastError,
// LastErrorString, CertificateStatus) with the control's calling conventions: methods return
// S_OK and put their outcome in the result (0 or an error code; a byte count or -1), failures
// are stored in LastError. Underneath are plain blocking POSIX sockets with real time-outs
// (Timeout seconds for connect, read and write waits; 0 waits for ever, 60 s for a connect).
//
// It has no TLS: putting Secure = TRUE fails (E_NOTIMPL), unless pretendSecure() was called,
// in which case the connection stays plain and CertificateStatus reports the given status, so
// the client's certificate check can be tested.
//
//   FakeHost host;                       // hosts one FakeWirran as "Wirran1"
//   std::string url = server.httpUrl("/shows/1/episodes");
//   std::string body = modHTTP::GetData(url, host, "");
//   EXPECT_EQ(host.wirran->writes().size(), 4u);

#include <string>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/dispatch.h"
#include "renamer/http/control_host.h"

namespace vantel {

inline constexpr IID IID_IFakeWirran{
    0x5A17E0B1, 0x7C3D, 0x4F02, {0x9E, 0x41, 0x0B, 0x6D, 0x2C, 0x8A, 0x13, 0x77}};

struct IFakeWirran : IDispatch {
    static constexpr const IID& kIid = IID_IFakeWirran;
    using ComBase = IDispatch;
    virtual HRESULT get_AutoResolve(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_AutoResolve(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Blocking(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Blocking(VARIANT_BOOL value) = 0;
    virtual HRESULT get_Timeout(LONG* pVal) = 0;
    virtual HRESULT put_Timeout(LONG value) = 0;
    virtual HRESULT get_Secure(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Secure(VARIANT_BOOL value) = 0;
    virtual HRESULT get_CertificateStatus(LONG* pVal) = 0;
    virtual HRESULT get_LastError(LONG* pVal) = 0;
    virtual HRESULT put_LastError(LONG value) = 0;
    virtual HRESULT get_LastErrorString(BSTR* pVal) = 0;
    virtual HRESULT Connect(VARIANT RemoteAddress, VARIANT RemotePort, VARIANT Protocol,
                            VARIANT Timeout, VARIANT Options, VARIANT LocalAddress,
                            VARIANT LocalPort, VARIANT* Error) = 0;
    virtual HRESULT Disconnect(VARIANT* Error) = 0;
    virtual HRESULT Read(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                         VARIANT* RemotePort, VARIANT* Result) = 0;
    virtual HRESULT Write(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                          VARIANT RemotePort, VARIANT* Result) = 0;
};

class FakeWirran final : public ComClass<IFakeWirran> {
  public:
    FakeWirran() : ComClass(nullptr) {}
    ~FakeWirran() override;

    // IDispatch
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // IFakeWirran
    HRESULT get_AutoResolve(VARIANT_BOOL* pVal) override;
    HRESULT put_AutoResolve(VARIANT_BOOL value) override;
    HRESULT get_Blocking(VARIANT_BOOL* pVal) override;
    HRESULT put_Blocking(VARIANT_BOOL value) override;
    HRESULT get_Timeout(LONG* pVal) override;
    HRESULT put_Timeout(LONG value) override;
    HRESULT get_Secure(VARIANT_BOOL* pVal) override;
    HRESULT put_Secure(VARIANT_BOOL value) override;
    HRESULT get_CertificateStatus(LONG* pVal) override;
    HRESULT get_LastError(LONG* pVal) override;
    HRESULT put_LastError(LONG value) override;
    HRESULT get_LastErrorString(BSTR* pVal) override;
    HRESULT Connect(VARIANT RemoteAddress, VARIANT RemotePort, VARIANT Protocol, VARIANT Timeout,
                    VARIANT Options, VARIANT LocalAddress, VARIANT LocalPort,
                    VARIANT* Error) override;
    HRESULT Disconnect(VARIANT* Error) override;
    HRESULT Read(VARIANT* Buffer, VARIANT Length, VARIANT Options, VARIANT* RemoteAddress,
                 VARIANT* RemotePort, VARIANT* Result) override;
    HRESULT Write(VARIANT Buffer, VARIANT Length, VARIANT Options, VARIANT RemoteAddress,
                  VARIANT RemotePort, VARIANT* Result) override;

    // Test knobs and records.
    void pretendSecure(LONG certificateStatus) {
        m_pretendSecure = true;
        m_certificateStatus = certificateStatus;
    }
    // Every member call in order: "AutoResolve=0", "Blocking=-1", "Timeout=4", "Secure=0",
    // "Connect host:port", "Write", "Read", "Disconnect" (property gets are not recorded).
    const std::vector<std::string>& calls() const { return m_calls; }
    // The bytes of every Write call, one entry per call.
    const std::vector<std::string>& writes() const { return m_writes; }
    int count(const std::string& call) const;
    void clearRecords() {
        m_calls.clear();
        m_writes.clear();
    }
    bool connected() const { return m_socket >= 0; }

  private:
    LONG fail(LONG code);
    void closeSocket();
    // Waits until the socket is readable (or writable); false with m_lastError on a time-out.
    bool waitFor(short events, LONG seconds);

    int m_socket = -1;
    VARIANT_BOOL m_autoResolve = VARIANT_FALSE;
    VARIANT_BOOL m_blocking = VARIANT_TRUE;
    VARIANT_BOOL m_secure = VARIANT_FALSE;
    LONG m_timeout = 0;
    LONG m_lastError = 0;
    bool m_pretendSecure = false;
    LONG m_certificateStatus = 0;
    std::vector<std::string> m_calls;
    std::vector<std::string> m_writes;
};

// A host window with one FakeWirran under the name "Wirran1". Counts its event pumps.
class FakeHost : public ControlHost {
  public:
    FakeHost();
    IDispatch* control(const std::string& name) override;
    void pumpEvents() override { ++pumps; }

    ComPtr<FakeWirran> wirran;
    bool hostsControl = true;  // false: the host has no control (lookups fail)
    int pumps = 0;
};

}  // namespace vantel
