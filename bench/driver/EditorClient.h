// A late-binding automation client, as the editor is one: the object is made
// in a local server, its members are looked up by name once, and every call
// goes through IDispatch::Invoke with string arguments.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstddef>

namespace bench {

class EditorClient {
public:
    EditorClient() = default;
    ~EditorClient();
    EditorClient(const EditorClient&) = delete;
    EditorClient& operator=(const EditorClient&) = delete;

    // Makes the object and looks up Exec, GetProp and SetProp.
    HRESULT Create(const CLSID& clsid);
    bool Valid() const { return m_object != nullptr; }
    void Release();

    HRESULT Exec(BSTR command);
    // The reply's length in characters goes to `replyLength`.
    HRESULT GetProp(BSTR first, BSTR second, std::size_t& replyLength);
    HRESULT SetProp(BSTR first, BSTR second, BSTR value);

private:
    // `args` in their natural order, first argument first.
    HRESULT Call(DISPID member, BSTR const* args, UINT count, VARIANT* result);

    IDispatch* m_object = nullptr;
    DISPID m_exec = DISPID_UNKNOWN;
    DISPID m_getProp = DISPID_UNKNOWN;
    DISPID m_setProp = DISPID_UNKNOWN;
};

// The class id registered for a ProgID.
HRESULT ClassOfProgId(const wchar_t* progId, CLSID& clsid);

}  // namespace bench
