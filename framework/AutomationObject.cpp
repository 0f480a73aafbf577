#include "AutomationObject.h"

#include <oleauto.h>

#include <new>
#include <vector>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace fw {
namespace {

// The program's type library: the TYPELIB resource of the module that holds
// this code, loaded at the first use and kept for the process.
HRESULT ProgramTypeLibrary(ITypeLib** library) {
    static ITypeLib* const loaded = [] {
        ITypeLib* lib = nullptr;
        HMODULE module = nullptr;
        if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                  reinterpret_cast<LPCWSTR>(&ProgramTypeLibrary), &module))
            return lib;
        // A path longer than the buffer is refused, never cut.
        std::vector<wchar_t> path(32768);
        const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n != 0 && n < path.size()) ::LoadTypeLibEx(path.data(), REGKIND_NONE, &lib);
        return lib;
    }();
    if (!loaded) return TYPE_E_CANTLOADLIBRARY;
    *library = loaded;
    return S_OK;
}

// The description of the function a call reaches, as ITypeInfo::Invoke picks
// it from the call's flags; empty when there is none (Invoke then answers).
class CalledFunction {
public:
    CalledFunction(ITypeInfo* info, DISPID dispId, WORD flags) : m_info(info) {
        ComPtr<ITypeInfo2> info2;
        if (FAILED(info->QueryInterface(IID_ITypeInfo2, &info2))) return;
        INVOKEKIND kinds[2] = {};
        if (flags & DISPATCH_PROPERTYPUT) {
            kinds[0] = INVOKE_PROPERTYPUT;
        } else if (flags & DISPATCH_PROPERTYPUTREF) {
            kinds[0] = INVOKE_PROPERTYPUTREF;
        } else {
            if (flags & DISPATCH_METHOD) kinds[0] = INVOKE_FUNC;
            if (flags & DISPATCH_PROPERTYGET) kinds[kinds[0] ? 1 : 0] = INVOKE_PROPERTYGET;
        }
        for (INVOKEKIND kind : kinds) {
            UINT index = 0;
            if (kind && SUCCEEDED(info2->GetFuncIndexOfMemId(dispId, kind, &index)) &&
                SUCCEEDED(info->GetFuncDesc(index, &m_func)))
                return;
        }
    }
    ~CalledFunction() {
        if (m_func) m_info->ReleaseFuncDesc(m_func);
    }
    CalledFunction(const CalledFunction&) = delete;
    CalledFunction& operator=(const CalledFunction&) = delete;

    const FUNCDESC* Get() const { return m_func; }

    // The arguments a caller passes: the parameters but a [retval] one.
    UINT ArgumentCount() const {
        UINT count = static_cast<UINT>(m_func->cParams);
        if (count && (m_func->lprgelemdescParam[count - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
            --count;
        return count;
    }

private:
    ITypeInfo* m_info;
    FUNCDESC* m_func = nullptr;
};

// VBScript passes its variables as VT_VARIANT | VT_BYREF. ITypeInfo::Invoke
// coerces such an argument for a parameter taken by value, but refuses it for
// a long taken by reference (the camera's size members). For those
// parameters alone the argument is passed as a long by reference, and the
// caller's variant gets the long back when the member changed it.
class VariantRefsAsLongs {
public:
    // The arguments to pass: `params` itself, or a copy with the references
    // replaced. Named arguments are left to OLE's own rules.
    DISPPARAMS* Adjust(const FUNCDESC& func, DISPPARAMS* params) {
        if (params->cNamedArgs != 0 || !HasVariantRef(*params)) return params;
        const UINT count = params->cArgs;
        m_args.assign(params->rgvarg, params->rgvarg + count);  // shallow: nothing owned
        m_values.reserve(count);  // pointers into it are handed out
        bool replaced = false;
        for (UINT p = 0; p < static_cast<UINT>(func.cParams) && p < count; ++p) {
            const TYPEDESC& type = func.lprgelemdescParam[p].tdesc;
            if (type.vt != VT_PTR || type.lptdesc->vt != VT_I4) continue;
            replaced |= Replace(m_args[count - 1 - p]);  // rgvarg is last first
        }
        if (!replaced) return params;
        m_params = *params;
        m_params.rgvarg = m_args.data();
        return &m_params;
    }

    // After a successful call: changed longs go back into the caller's variants.
    void WriteBack() {
        for (const WriteBackEntry& w : m_writeBacks) {
            const long value = m_values[w.index];
            if (value == w.original) continue;
            ::VariantClear(w.target);
            V_VT(w.target) = VT_I4;
            V_I4(w.target) = value;
        }
    }

private:
    struct WriteBackEntry {
        VARIANT* target;
        std::size_t index;
        long original;
    };

    static bool HasVariantRef(const DISPPARAMS& params) {
        if (!params.rgvarg) return false;
        for (UINT i = 0; i < params.cArgs; ++i)
            if (V_VT(&params.rgvarg[i]) == (VT_VARIANT | VT_BYREF)) return true;
        return false;
    }

    bool Replace(VARIANT& arg) {
        if (V_VT(&arg) != (VT_VARIANT | VT_BYREF) || !V_VARIANTREF(&arg)) return false;
        VARIANT* inner = V_VARIANTREF(&arg);
        long* target = nullptr;
        if (V_VT(inner) == (VT_I4 | VT_BYREF)) {
            target = V_I4REF(inner);
        } else if (V_VT(inner) == VT_I4) {
            target = &V_I4(inner);
        } else if (!(V_VT(inner) & (VT_BYREF | VT_ARRAY))) {
            VARIANT converted;
            ::VariantInit(&converted);
            if (FAILED(::VariantChangeType(&converted, inner, 0, VT_I4))) return false;
            m_values.push_back(V_I4(&converted));
            m_writeBacks.push_back({inner, m_values.size() - 1, V_I4(&converted)});
            target = &m_values.back();
        }
        // Anything else (a reference to storage of another type, which could
        // not take a long back) gets OLE's own answer, a type mismatch.
        if (!target) return false;
        V_VT(&arg) = VT_I4 | VT_BYREF;
        V_I4REF(&arg) = target;
        return true;
    }

    std::vector<VARIANT> m_args;
    std::vector<long> m_values;
    std::vector<WriteBackEntry> m_writeBacks;
    DISPPARAMS m_params{};
};

// At most this many characters of an exception's text reach the caller; a
// longer text is cut.
constexpr int kDescriptionChars = 512;

}  // namespace

HRESULT GetProgramTypeInfo(REFGUID guid, bool vtable, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ITypeLib* lib = nullptr;  // the process keeps it
    HRESULT hr = ProgramTypeLibrary(&lib);
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = lib->GetTypeInfoOfGuid(guid, &info);
    if (FAILED(hr)) return hr;
    // A dual interface has two descriptions: its dispatch view and its vtable
    // interface; index -1 of its implemented types leads from one to the other.
    TYPEATTR* attr = nullptr;
    hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const TYPEKIND kind = attr->typekind;
    const bool dual = (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
    info->ReleaseTypeAttr(attr);
    if (dual && ((vtable && kind == TKIND_DISPATCH) || (!vtable && kind == TKIND_INTERFACE))) {
        HREFTYPE ref = 0;
        hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
        if (FAILED(hr)) return hr;
        return info->GetRefTypeInfo(ref, out);
    }
    *out = info.Detach();
    return S_OK;
}

namespace automation_detail {

HRESULT GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT GetTypeInfo(const KeptTypeInfo& dispatchView, UINT index, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (FAILED(dispatchView.result)) return dispatchView.result;
    dispatchView.info->AddRef();
    *info = dispatchView.info;
    return S_OK;
}

HRESULT GetIDsOfNames(const KeptTypeInfo& vtableView, REFIID riid, LPOLESTR* names, UINT count,
                      DISPID* dispIds) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (FAILED(vtableView.result)) return vtableView.result;
    return ::DispGetIDsOfNames(vtableView.info, names, count, dispIds);
}

HRESULT Invoke(IDispatch* self, const KeptTypeInfo& vtableView, DISPID dispId, REFIID riid,
               WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
               UINT* argErr) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // Malformed arguments are refused before OLE reads them.
    if (!params || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    try {
        if (FAILED(vtableView.result)) return vtableView.result;
        ITypeInfo* info = vtableView.info;
        DISPPARAMS* args = params;
        VariantRefsAsLongs refs;
        const CalledFunction called(info, dispId, flags);
        if (const FUNCDESC* func = called.Get()) {
            // More arguments than parameters: Windows refuses them, Wine's
            // Invoke would drop the extra ones; refused here on both.
            if (params->cArgs > called.ArgumentCount()) return DISP_E_BADPARAMCOUNT;
            args = refs.Adjust(*func, params);
        }
        const HRESULT hr = ::DispInvoke(self, info, dispId, flags, args, result, excepInfo, argErr);
        if (SUCCEEDED(hr)) refs.WriteBack();
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ReportCurrentException(REFIID iid, const wchar_t* source) noexcept {
    // The text is copied while the exception is alive; a longer one is cut.
    wchar_t description[kDescriptionChars + 1] = {};
    const auto describe = [&](const char* text) {
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, description, kDescriptionChars);
    };
    HRESULT hr = E_UNEXPECTED;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
        describe("Out of memory");
    } catch (const std::exception& e) {
        hr = E_FAIL;
        describe(e.what());
    } catch (...) {
        describe("Unexpected exception");
    }
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(::CreateErrorInfo(&create))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(description);
        IErrorInfo* error = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error)))) {
            ::SetErrorInfo(0, error);
            error->Release();
        }
        create->Release();
    }
    return FAILED(hr) ? hr : E_FAIL;
}

}  // namespace automation_detail
}  // namespace fw
