#include "DispatchMap.h"

#include <exception>
#include <vector>

#include "OleException.h"
#include "OleString.h"

namespace fw {
namespace {

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

bool SameName(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; ++a, ++b)
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    return *a == *b;
}

// Any failed coercion is a type mismatch for the caller, except lack of memory.
HRESULT Mismatch(HRESULT hr) { return hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH; }

// long*: the caller's long by reference, or a variant by reference holding
// something that converts to long (written back after the call).
HRESULT CoerceLongRef(VARIANT& source, DispArg& arg) {
    if (V_VT(&source) == (VT_I4 | VT_BYREF)) {
        if (!V_I4REF(&source)) return DISP_E_TYPEMISMATCH;
        arg.ref = V_I4REF(&source);
        return S_OK;
    }
    if (V_VT(&source) != (VT_VARIANT | VT_BYREF) || !V_VARIANTREF(&source))
        return DISP_E_TYPEMISMATCH;
    VARIANT* inner = V_VARIANTREF(&source);
    if (V_VT(inner) == (VT_I4 | VT_BYREF)) {
        if (!V_I4REF(inner)) return DISP_E_TYPEMISMATCH;
        arg.ref = V_I4REF(inner);
        return S_OK;
    }
    if (V_VT(inner) == VT_I4) {
        arg.ref = &V_I4(inner);
        return S_OK;
    }
    // A reference to storage of another type could not take a long back.
    if (V_VT(inner) & (VT_BYREF | VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    VARIANT value;
    ::VariantInit(&value);
    const HRESULT hr = ::VariantChangeType(&value, inner, 0, VT_I4);
    if (FAILED(hr)) return Mismatch(hr);
    arg.refValue = arg.refOriginal = V_I4(&value);
    arg.ref = &arg.refValue;
    arg.writeBack = inner;
    return S_OK;
}

HRESULT Coerce(VARTYPE type, VARIANT& source, DispArg& arg) {
    // A missing argument (what clients pass for an omitted optional one) only
    // suits a VARIANT parameter.
    if (type != VT_VARIANT && V_VT(&source) == VT_ERROR && V_ERROR(&source) == DISP_E_PARAMNOTFOUND)
        return DISP_E_PARAMNOTFOUND;
    switch (type) {
    case VT_I4:
    case VT_BOOL: {
        const HRESULT hr = ::VariantChangeType(&arg.value, &source, 0, type);
        return FAILED(hr) ? Mismatch(hr) : S_OK;
    }
    case VT_BSTR: {
        const HRESULT hr = ::VariantChangeType(&arg.value, &source, 0, VT_BSTR);
        if (FAILED(hr)) return Mismatch(hr);
        arg.text = BstrToAnsi(V_BSTR(&arg.value));
        return S_OK;
    }
    case VT_I4 | VT_BYREF:
        return CoerceLongRef(source, arg);
    case VT_VARIANT: {
        const HRESULT hr = ::VariantCopyInd(&arg.value, &source);
        return FAILED(hr) ? Mismatch(hr) : S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

void WriteBack(std::vector<DispArg>& args) {
    for (DispArg& a : args) {
        if (!a.writeBack || a.refValue == a.refOriginal) continue;
        ::VariantClear(a.writeBack);
        V_VT(a.writeBack) = VT_I4;
        V_I4(a.writeBack) = a.refValue;
    }
}

void FillException(EXCEPINFO* info, const wchar_t* source, const char* description, WORD code,
                   SCODE scode) {
    if (!info) return;
    *info = EXCEPINFO{};
    info->wCode = code;
    info->scode = code ? 0 : scode;  // one of the two, never both
    info->bstrSource = ::SysAllocString(source);
    info->bstrDescription = AnsiToBstr(description, std::char_traits<char>::length(description));
}

// Runs a handler; a C++ exception must not reach COM's frames, so every one
// becomes DISP_E_EXCEPTION.
HRESULT CallHandler(DispThunk thunk, DispatchObject& object, const DispatchMap& map,
                    DispArg* args, VARIANT* out, EXCEPINFO* excepInfo) {
    try {
        thunk(object, args, out);
        return S_OK;
    } catch (const OleDispatchException& e) {
        FillException(excepInfo, map.source, e.Description().c_str(), e.Code(), E_FAIL);
    } catch (const OleException& e) {
        FillException(excepInfo, map.source, "OLE call failed", 0, e.Result());
    } catch (const std::bad_alloc&) {
        FillException(excepInfo, map.source, "Out of memory", 0, E_OUTOFMEMORY);
    } catch (const std::exception& e) {
        FillException(excepInfo, map.source, e.what(), 0, E_FAIL);
    } catch (...) {
        FillException(excepInfo, map.source, "Unexpected exception", 0, E_UNEXPECTED);
    }
    return DISP_E_EXCEPTION;
}

// Answers, in the order checked (the riid was checked by the caller):
//   DISP_E_MEMBERNOTFOUND  no such dispid; a put of a method; a property read
//                          with arguments; a void method read as a property;
//                          no call bit in wFlags
//   DISP_E_PARAMNOTFOUND   a put without its named argument DISPID_PROPERTYPUT
//   DISP_E_NONAMEDARGS     any other named argument
//   DISP_E_BADPARAMCOUNT   not the member's number of arguments
//   DISP_E_TYPEMISMATCH, DISP_E_PARAMNOTFOUND  an argument that does not
//                          coerce, or is missing; *puArgErr = its rgvarg index
//   DISP_E_EXCEPTION       the handler threw
// The handler runs only when every argument coerced.
HRESULT Invoke(DispatchObject& object, const DispatchMap& map, DISPID dispId, WORD flags,
               DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (dispId < 1 || static_cast<std::size_t>(dispId) > map.entries.size())
        return DISP_E_MEMBERNOTFOUND;
    if (!params || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    const DispMember& member = map.entries[static_cast<std::size_t>(dispId - 1)].member;

    std::span<const VARTYPE> types;
    DispThunk thunk = nullptr;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        // A put carries the value as the one named argument DISPID_PROPERTYPUT.
        if (member.kind != DispKind::Property) return DISP_E_MEMBERNOTFOUND;
        if (params->cNamedArgs == 0) return DISP_E_PARAMNOTFOUND;
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_NONAMEDARGS;
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        types = std::span<const VARTYPE>(&member.type, 1);
        thunk = member.put;
    } else if (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) {
        // Either bit, or both (as VBScript sends), reads a property or calls a
        // method; a get alone of a method needs a result to give.
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        if (member.kind == DispKind::Property) {
            if (params->cArgs != 0) return DISP_E_MEMBERNOTFOUND;  // no indexed properties
        } else {
            if (!(flags & DISPATCH_METHOD) && member.type == VT_EMPTY) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != member.params.size()) return DISP_E_BADPARAMCOUNT;
            types = member.params;
        }
        thunk = member.call;
    } else {
        return DISP_E_MEMBERNOTFOUND;
    }

    // rgvarg holds the arguments last first.
    std::vector<DispArg> args(types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        const UINT index = params->cArgs - 1 - static_cast<UINT>(i);
        const HRESULT hr = Coerce(types[i], params->rgvarg[index], args[i]);
        if (FAILED(hr)) {
            if (argErr) *argErr = index;
            return hr;
        }
    }

    VARIANT out;
    ::VariantInit(&out);
    const HRESULT hr = CallHandler(thunk, object, map, args.data(), &out, excepInfo);
    if (FAILED(hr)) return hr;
    WriteBack(args);
    if (result)
        *result = out;  // the caller owns the result now
    else
        ::VariantClear(&out);
    return S_OK;
}

}  // namespace

DISPID FindDispatchId(const DispatchMap& map, const wchar_t* name) {
    if (!name) return DISPID_UNKNOWN;
    for (std::size_t i = 0; i < map.entries.size(); ++i)
        if (SameName(map.entries[i].name, name)) return static_cast<DISPID>(i + 1);
    return DISPID_UNKNOWN;
}

HRESULT DispatchGetIDsOfNames(const DispatchMap& map, LPOLESTR* names, UINT count,
                              DISPID* dispIds) {
    if (count == 0) return S_OK;
    if (!names || !dispIds) return E_INVALIDARG;
    // The first name is the member's; parameters have no names here, so any
    // further name is unknown.
    dispIds[0] = FindDispatchId(map, names[0]);
    for (UINT i = 1; i < count; ++i) dispIds[i] = DISPID_UNKNOWN;
    return dispIds[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT DispatchInvoke(DispatchObject& object, const DispatchMap& map, DISPID dispId,
                       REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excepInfo, UINT* argErr) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (result) ::VariantInit(result);
    try {
        return Invoke(object, map, dispId, flags, params, result, excepInfo, argErr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, *GetDispatchMap().iid)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refCount));
}

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
    const LONG count = ::InterlockedDecrement(&m_refCount);
    if (count == 0) {
        try {
            OnFinalRelease();
        } catch (...) {
            // Nothing may unwind into the caller's COM frames; the object is
            // gone either way.
        }
    }
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                        LCID, DISPID* dispIds) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispatchGetIDsOfNames(GetDispatchMap(), names, count, dispIds);
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID dispId, REFIID riid, LCID, WORD flags,
                                                 DISPPARAMS* params, VARIANT* result,
                                                 EXCEPINFO* excepInfo, UINT* argErr) {
    // Keeps the object alive while a handler runs, even if it drops a reference.
    AddRef();
    const HRESULT hr =
        DispatchInvoke(*this, GetDispatchMap(), dispId, riid, flags, params, result, excepInfo,
                       argErr);
    Release();
    return hr;
}

IDispatch* DispatchObject::GetIDispatch(bool addRef) {
    if (addRef) AddRef();
    return static_cast<IDispatch*>(this);
}

void DispatchObject::OnFinalRelease() { delete this; }

}  // namespace fw
