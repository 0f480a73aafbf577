#include "FloorFactory.h"

#include <new>

#include "FloorObject.h"
#include "ServerLock.h"

namespace floor_server {

HRESULT FloorFactory::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT FloorFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    FloorObject* created = new (std::nothrow) FloorObject();
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

HRESULT FloorFactory::LockServer(BOOL lock) {
    if (lock) {
        Lock();
    } else {
        Unlock();
    }
    return S_OK;
}

}  // namespace floor_server
