#include "EdServerClient.h"

#include <objbase.h>

#include "automation/guids.h"

namespace vt {

Variant Variant::Array() {
    Variant v;
    V_VT(&v.m_v) = VT_ARRAY | VT_I4;
    V_ARRAY(&v.m_v) = ::SafeArrayCreateVector(VT_I4, 0, 2);
    return v;
}

EdServerClient::EdServerClient() {
    CLSID clsid;
    m_created = ::CLSIDFromProgID(L"Velmor.VelmorEdServer", &clsid);
    if (FAILED(m_created)) return;
    m_created = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                   &m_dispatch);
}

HRESULT EdServerClient::Invoke(DISPID id, WORD flags, std::vector<Variant*> args, VARIANT* result,
                               UINT* argErr, std::vector<DISPID> named, REFIID riid) {
    std::vector<VARIANT> rgvarg;
    for (auto it = args.rbegin(); it != args.rend(); ++it) rgvarg.push_back(**(*it));
    DISPPARAMS params{rgvarg.data(), named.data(), static_cast<UINT>(rgvarg.size()),
                      static_cast<UINT>(named.size())};
    return m_dispatch->Invoke(id, riid, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                              argErr);
}

}  // namespace vt
