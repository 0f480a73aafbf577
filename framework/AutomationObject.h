// Automation objects with dual interfaces. The object implements its
// interface's vtable (the C++ class widl generates from the IDL); IDispatch is
// answered by OLE from the interface's type information: names by
// DispGetIDsOfNames, calls by ITypeInfo::Invoke, which finds the member,
// checks and coerces the arguments, calls the vtable method and writes the
// result back. The type information comes from the type library that the
// program carries as its TYPELIB resource 1.
//
//   class VelmorThing final : public fw::AutomationObject<IVelmorThing> {
//   public:
//       HRESULT STDMETHODCALLTYPE get_Size(long* value) override {
//           return Guard([&] { *value = m_size; });
//       }
//       ...
//   };
//
// Every vtable method runs its body through Guard: a C++ exception must not
// reach OLE's frames, so it becomes a failure HRESULT and error information
// (IErrorInfo), which ITypeInfo::Invoke hands late-binding callers as
// DISP_E_EXCEPTION with EXCEPINFO.
//
// The reference count starts at 0 (fw::CreateAutomationObject<T> suits class
// factories). When it falls to 0, OnFinalRelease runs (default: delete this).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <exception>

namespace fw {

// The ITypeInfo of a type described by the program's type library: for a dual
// interface, `vtable` picks its vtable half (TKIND_INTERFACE) instead of its
// dispatch view (TKIND_DISPATCH), with a reference for the caller. The library
// is loaded once per process.
HRESULT GetProgramTypeInfo(REFGUID guid, bool vtable, ITypeInfo** info);

namespace automation_detail {

// Type information found once and kept for the rest of the process.
struct KeptTypeInfo {
    KeptTypeInfo(REFGUID guid, bool vtable) : result(GetProgramTypeInfo(guid, vtable, &info)) {}
    ITypeInfo* info = nullptr;  // declared first: set by the call that sets result
    HRESULT result;
};

HRESULT GetTypeInfoCount(UINT* count);
HRESULT GetTypeInfo(const KeptTypeInfo& dispatchView, UINT index, ITypeInfo** info);
HRESULT GetIDsOfNames(const KeptTypeInfo& vtableView, REFIID riid, LPOLESTR* names, UINT count,
                      DISPID* dispIds);
HRESULT Invoke(IDispatch* self, const KeptTypeInfo& vtableView, DISPID dispId, REFIID riid,
               WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
               UINT* argErr);
// Answers the exception in flight with an HRESULT, and sets error
// information (source, description, interface) for the caller.
HRESULT ReportCurrentException(REFIID iid, const wchar_t* source) noexcept;

}  // namespace automation_detail

template <class Interface>
class AutomationObject : public Interface, public ISupportErrorInfo, public IProvideClassInfo {
public:
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    // IUnknown: IUnknown, IDispatch and the interface itself; also
    // ISupportErrorInfo, and IProvideClassInfo for an object with a class id.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
        } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else if (IsEqualIID(iid, IID_IProvideClassInfo) && m_classId) {
            *object = static_cast<IProvideClassInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&m_refCount));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG count = ::InterlockedDecrement(&m_refCount);
        if (count == 0) {
            try {
                OnFinalRelease();
            } catch (...) {
                // Nothing may unwind into the caller's COM frames; the object
                // is gone either way.
            }
        }
        return static_cast<ULONG>(count);
    }

    // IDispatch, from the interface's type information.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return automation_detail::GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return automation_detail::GetTypeInfo(View(false), index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* dispIds) override {
        return automation_detail::GetIDsOfNames(View(true), riid, names, count, dispIds);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID riid, LCID, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override {
        // Keeps the object alive while a member runs, even if it drops a reference.
        AddRef();
        const HRESULT hr =
            automation_detail::Invoke(static_cast<Interface*>(this), View(true), dispId, riid,
                                      flags, params, result, excepInfo, argErr);
        Release();
        return hr;
    }

    // ISupportErrorInfo: the interface's members set error information.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsEqualIID(iid, __uuidof(Interface)) ? S_OK : S_FALSE;
    }

    // IProvideClassInfo: the coclass's type information.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        if (!m_classId) {
            if (info) *info = nullptr;
            return E_NOTIMPL;
        }
        return GetProgramTypeInfo(*m_classId, false, info);
    }

    // The object's dispatch interface, with a reference added for the caller.
    Interface* GetInterface() {
        AddRef();
        return static_cast<Interface*>(this);
    }

protected:
    // source: names the object in error information ("Velmor.Camera").
    // classId: the coclass, for IProvideClassInfo; null for objects that
    // have none of their own.
    explicit AutomationObject(const wchar_t* source, const CLSID* classId = nullptr)
        : m_source(source), m_classId(classId) {}
    virtual ~AutomationObject() = default;

    // The last reference is gone. Default: delete this.
    virtual void OnFinalRelease() { delete this; }

    // Runs a member's body: S_OK, or the exception it threw as a failure
    // HRESULT with error information.
    template <class Body>
    HRESULT Guard(Body&& body) noexcept {
        try {
            body();
            return S_OK;
        } catch (...) {
            return automation_detail::ReportCurrentException(__uuidof(Interface), m_source);
        }
    }

private:
    // The interface's dispatch view, or its vtable half: found at the first
    // call, once per interface, and kept.
    static const automation_detail::KeptTypeInfo& View(bool vtable) {
        static const automation_detail::KeptTypeInfo dispatchView(__uuidof(Interface), false);
        static const automation_detail::KeptTypeInfo vtableView(__uuidof(Interface), true);
        return vtable ? vtableView : dispatchView;
    }

    const wchar_t* m_source;
    const CLSID* m_classId;
    volatile LONG m_refCount = 0;
};

// For a class factory's create function: makes a T and queries it for iid.
// The object is freed again (through its final release) when the query fails.
template <class T>
HRESULT CreateAutomationObject(REFIID iid, void** object) {
    T* created = new T;  // std::bad_alloc is answered by the factory
    created->AddRef();
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

}  // namespace fw
