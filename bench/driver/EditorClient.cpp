#include "EditorClient.h"

#include <oleauto.h>

namespace bench {

namespace {

HRESULT LookUp(IDispatch* object, const wchar_t* name, DISPID& id) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

}  // namespace

EditorClient::~EditorClient() { Release(); }

void EditorClient::Release() {
    if (m_object) m_object->Release();
    m_object = nullptr;
}

HRESULT EditorClient::Create(const CLSID& clsid) {
    Release();
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&m_object));
    if (FAILED(hr)) {
        m_object = nullptr;
        return hr;
    }
    if (FAILED(hr = LookUp(m_object, L"Exec", m_exec)) ||
        FAILED(hr = LookUp(m_object, L"GetProp", m_getProp)) ||
        FAILED(hr = LookUp(m_object, L"SetProp", m_setProp)))
        Release();
    return hr;
}

HRESULT EditorClient::Call(DISPID member, BSTR const* args, UINT count, VARIANT* result) {
    if (!m_object) return E_POINTER;
    VARIANT reversed[3];
    for (UINT i = 0; i < count; ++i) {
        V_VT(&reversed[count - 1 - i]) = VT_BSTR;
        V_BSTR(&reversed[count - 1 - i]) = args[i];  // borrowed: not freed here
    }
    DISPPARAMS params{reversed, nullptr, count, 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT hr = m_object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        &params, result, &exception, &argError);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT EditorClient::Exec(BSTR command) { return Call(m_exec, &command, 1, nullptr); }

HRESULT EditorClient::GetProp(BSTR first, BSTR second, std::size_t& replyLength) {
    const BSTR args[] = {first, second};
    VARIANT reply;
    ::VariantInit(&reply);
    const HRESULT hr = Call(m_getProp, args, 2, &reply);
    replyLength = V_VT(&reply) == VT_BSTR ? ::SysStringLen(V_BSTR(&reply)) : 0;
    ::VariantClear(&reply);
    return hr;
}

HRESULT EditorClient::SetProp(BSTR first, BSTR second, BSTR value) {
    const BSTR args[] = {first, second, value};
    return Call(m_setProp, args, 3, nullptr);
}

HRESULT ClassOfProgId(const wchar_t* progId, CLSID& clsid) { return ::CLSIDFromProgID(progId, &clsid); }

}  // namespace bench
