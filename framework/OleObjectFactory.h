// Class factories of the application's automation classes. Each factory is one
// static object; the registry of all of them registers them with OLE as
// running (RegisterAll, on an OLE start), writes their registry entries
// (UpdateRegistryAll, on a normal start) and revokes them (RevokeAll).
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace fw {

class OleObjectFactory final : public IClassFactory {
public:
    // Makes a new object and queries it for the interface asked for.
    using CreateFn = HRESULT (*)(REFIID iid, void** object);

    // One running application serves every creation request, each request
    // making a new object.
    OleObjectFactory(const CLSID& clsid, CreateFn create, const char* progId,
                     const char* description);
    OleObjectFactory(const OleObjectFactory&) = delete;
    OleObjectFactory& operator=(const OleObjectFactory&) = delete;

    static bool RegisterAll();
    static void RevokeAll();
    // Writes (register true) or removes the entries a local automation server
    // needs: ProgID -> CLSID, and the CLSID's LocalServer32 and ProgID.
    static bool UpdateRegistryAll(bool registering);

    // IUnknown; the factory is static, so counting references only serves
    // COM's bookkeeping.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    bool Register();
    void Revoke();
    bool UpdateRegistry(bool registering) const;

    static constinit OleObjectFactory* s_first;
    OleObjectFactory* m_next;
    CLSID m_clsid;
    CreateFn m_create;
    const char* m_progId;
    const char* m_description;
    DWORD m_cookie = 0;
};

}  // namespace fw
