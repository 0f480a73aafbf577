// The floor's automation object: a hand-written IDispatch with the three
// members of the shell's editor server that the bench times. The strings are
// converted to and from 8-bit text as the shell converts them for the engine,
// and nothing else is done with them, but for Exec's echo when the server
// runs with it (EchoLog.h).
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace floor_server {

class FloorObject final : public IDispatch {
public:
    FloorObject();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) override;

private:
    ~FloorObject();

    volatile LONG m_references = 1;
};

}  // namespace floor_server
