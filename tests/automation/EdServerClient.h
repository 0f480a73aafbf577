// The editor automation server seen from this process: created through OLE
// by its ProgID, called by dispatch id with raw IDispatch::Invoke.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>
#include <wrl/client.h>

namespace vt {

// The editor server's dispatch ids, which clients compiled against the
// interface rely on: each member's position in the interface, from 1.
namespace ed {
constexpr DISPID kCurCamera = 1;
constexpr DISPID kFullscreen = 2;
constexpr DISPID kExec = 3;
constexpr DISPID kSlowExec = 4;
constexpr DISPID kGetProp = 5;
constexpr DISPID kSetProp = 6;
constexpr DISPID kInit = 7;
constexpr DISPID kNumCameras = 8;
constexpr DISPID kCamera = 9;
constexpr DISPID kNewCamera = 10;
}  // namespace ed

// An owned VARIANT.
class Variant {
public:
    Variant() { ::VariantInit(&m_v); }
    explicit Variant(long value) : Variant() {
        V_VT(&m_v) = VT_I4;
        V_I4(&m_v) = value;
    }
    explicit Variant(const wchar_t* text) : Variant() {
        V_VT(&m_v) = VT_BSTR;
        V_BSTR(&m_v) = ::SysAllocString(text);
    }
    // Takes over `length` characters, embedded NULs included.
    Variant(const wchar_t* text, UINT length) : Variant() {
        V_VT(&m_v) = VT_BSTR;
        V_BSTR(&m_v) = ::SysAllocStringLen(text, length);
    }
    static Variant Bool(bool value) {
        Variant v;
        V_VT(&v.m_v) = VT_BOOL;
        V_BOOL(&v.m_v) = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Variant NullString() {
        Variant v;
        V_VT(&v.m_v) = VT_BSTR;
        return v;
    }
    // An array of two longs: no automation coercion turns it into a string
    // or a number.
    static Variant Array();
    ~Variant() { ::VariantClear(&m_v); }
    Variant(Variant&& o) noexcept : m_v(o.m_v) { ::VariantInit(&o.m_v); }
    Variant& operator=(Variant&&) = delete;
    Variant(const Variant&) = delete;

    VARIANT* Get() { return &m_v; }
    const VARIANT& operator*() const { return m_v; }

private:
    VARIANT m_v;
};

class EdServerClient {
public:
    // CoCreateInstance by the ProgID, CLSCTX_LOCAL_SERVER; check Created().
    EdServerClient();
    bool Created() const { return static_cast<bool>(m_dispatch); }
    HRESULT CreateResult() const { return m_created; }
    IDispatch* Dispatch() const { return m_dispatch.Get(); }

    // Invoke with the arguments in their natural order (first first); named
    // argument ids go with the last arguments, as in DISPPARAMS.
    HRESULT Invoke(DISPID id, WORD flags, std::vector<Variant*> args, VARIANT* result = nullptr,
                   UINT* argErr = nullptr, std::vector<DISPID> named = {},
                   REFIID riid = IID_NULL);
    HRESULT Call(DISPID id, std::vector<Variant*> args, VARIANT* result = nullptr,
                 UINT* argErr = nullptr) {
        return Invoke(id, DISPATCH_METHOD, std::move(args), result, argErr);
    }
    HRESULT Put(DISPID id, Variant& value) {
        return Invoke(id, DISPATCH_PROPERTYPUT, {&value}, nullptr, nullptr, {DISPID_PROPERTYPUT});
    }

    void Release() { m_dispatch.Reset(); }

private:
    Microsoft::WRL::ComPtr<IDispatch> m_dispatch;
    HRESULT m_created = E_FAIL;
};

}  // namespace vt
