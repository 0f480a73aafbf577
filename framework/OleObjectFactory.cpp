#include "OleObjectFactory.h"

#include <objbase.h>

#include <cstdio>
#include <exception>

#include "OleApp.h"

namespace fw {

constinit OleObjectFactory* OleObjectFactory::s_first = nullptr;

OleObjectFactory::OleObjectFactory(const CLSID& clsid, CreateFn create, const char* progId,
                                   const char* description)
    : m_next(s_first),
      m_clsid(clsid),
      m_create(create),
      m_progId(progId),
      m_description(description) {
    s_first = this;
}

bool OleObjectFactory::RegisterAll() {
    bool ok = true;
    for (OleObjectFactory* f = s_first; f; f = f->m_next) ok = f->Register() && ok;
    return ok;
}

void OleObjectFactory::RevokeAll() {
    for (OleObjectFactory* f = s_first; f; f = f->m_next) f->Revoke();
}

bool OleObjectFactory::UpdateRegistryAll(bool registering) {
    bool ok = true;
    for (OleObjectFactory* f = s_first; f; f = f->m_next) ok = f->UpdateRegistry(registering) && ok;
    return ok;
}

bool OleObjectFactory::Register() {
    if (m_cookie) return true;
    return SUCCEEDED(::CoRegisterClassObject(m_clsid, this, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                             &m_cookie));
}

void OleObjectFactory::Revoke() {
    if (!m_cookie) return;
    ::CoRevokeClassObject(m_cookie);
    m_cookie = 0;
}

bool OleObjectFactory::UpdateRegistry(bool registering) const {
    wchar_t clsidWide[64] = {};
    if (!::StringFromGUID2(m_clsid, clsidWide, 64)) return false;
    char clsid[64] = {};
    ::WideCharToMultiByte(CP_ACP, 0, clsidWide, -1, clsid, sizeof clsid, nullptr, nullptr);

    char clsidKey[96];
    std::snprintf(clsidKey, sizeof clsidKey, "CLSID\\%s", clsid);

    if (!registering) {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, clsidKey);
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, m_progId);
        return true;
    }

    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;  // a cut path would register the wrong file
    char server[MAX_PATH + 2];
    std::snprintf(server, sizeof server, "\"%s\"", path);

    // RegSetValueA makes the key and sets its default value in one call.
    const auto set = [](const char* key, const char* value) {
        return ::RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value, 0) == ERROR_SUCCESS;
    };
    char subKey[160];
    bool ok = set(m_progId, m_description);
    std::snprintf(subKey, sizeof subKey, "%s\\CLSID", m_progId);
    ok = set(subKey, clsid) && ok;
    ok = set(clsidKey, m_description) && ok;
    std::snprintf(subKey, sizeof subKey, "%s\\LocalServer32", clsidKey);
    ok = set(subKey, server) && ok;
    std::snprintf(subKey, sizeof subKey, "%s\\ProgID", clsidKey);
    ok = set(subKey, m_progId) && ok;
    return ok;
}

HRESULT STDMETHODCALLTYPE OleObjectFactory::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE OleObjectFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                           void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
        return m_create(iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE OleObjectFactory::LockServer(BOOL lock) {
    if (lock)
        OleLockApp();
    else
        OleUnlockApp();
    return S_OK;
}

}  // namespace fw
