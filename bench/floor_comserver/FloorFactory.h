// The class factory of the floor's object: one static object, registered with
// OLE as running by the server's main.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace floor_server {

class FloorFactory final : public IClassFactory {
public:
    // IUnknown; the factory is static, so its count only serves OLE.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

}  // namespace floor_server
