// Dispatch maps: automation objects answer IDispatch from a plain table, one
// row per member in dispatch-map order; a member's dispatch id is its position
// in the table, from 1. A row names the member and its handler(s); the
// parameter and result types come from the handlers' C++ signatures.
//
// Usage:
//
//   // VelmorThing.h
//   class VelmorThing final : public fw::DispatchObject {
//   public:
//       static const fw::DispatchMap dispatchMap;  // public: tests walk it
//       long GetSize();                     // property get: long -> VT_I4
//       void SetSize(long value);           // property put
//       fw::DispBool IsOpen(const char* name, long* count);  // method
//       const fw::DispatchMap& GetDispatchMap() const override { return dispatchMap; }
//   private:
//       static const fw::DispatchEntry dispatchEntries[];
//   };
//
//   // VelmorThing.cpp
//   const fw::DispatchEntry VelmorThing::dispatchEntries[] = {
//       {L"Size",   fw::DispProperty<&VelmorThing::GetSize, &VelmorThing::SetSize>},  // 1
//       {L"IsOpen", fw::DispMethod<&VelmorThing::IsOpen>},                             // 2
//   };
//   const fw::DispatchMap VelmorThing::dispatchMap = {&IID_IVelmorThing, L"Velmor.Thing",
//                                                     dispatchEntries};
//
// Types a handler may take, and what the caller's arguments are coerced to
// (VariantChangeType) before the handler runs:
//   long                VT_I4
//   fw::DispBool        VT_BOOL (BOOL is an int, so the automation boolean
//                       has a type of its own; it converts to and from BOOL,
//                       arriving as TRUE (1) or FALSE (0))
//   const char*         VT_BSTR, converted to an 8-bit string in the ANSI code
//                       page: characters the code page lacks become its
//                       default character ('?'); the handler sees the text up
//                       to the first embedded NUL; a null BSTR is "". The
//                       pointer is valid for the call only.
//   long*               VT_I4 | VT_BYREF: the caller's VT_I4 by reference, or
//                       a variant by reference (as VBScript passes its
//                       variables) whose value is coerced to long and written
//                       back as VT_I4 after the call if the handler changed
//                       it. A typed reference of another type, or a value
//                       passed by value, is a type mismatch.
//   VARIANT             VT_VARIANT, any value; the handler gets a copy with
//   const VARIANT&      references resolved, owned by the call (never clear it).
// Results: void (VT_EMPTY), long, fw::DispBool, BSTR (a new automation string
// that the caller then owns; null means ""), IDispatch* (a reference that the
// caller then owns; null allowed).
//
// A C++ exception escaping a handler becomes DISP_E_EXCEPTION with EXCEPINFO:
// fw::OleDispatchException gives its description and code, fw::OleException
// its HRESULT, std::exception its what().
//
// Objects: derive from fw::DispatchObject (also beside another base, such as
// fw::Window) and return the map from GetDispatchMap. The reference count
// starts at 0; fw::CreateDispatchObject<T> suits class factories. When the
// count falls to 0, OnFinalRelease runs (default: delete this). An object that
// is also a window overrides it to destroy its window if it still exists (its
// PostNcDestroy then frees it) and to delete itself otherwise.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstddef>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

namespace fw {

// The automation boolean as a handler's parameter or result.
struct DispBool {
    BOOL value = FALSE;
    constexpr DispBool() = default;
    constexpr DispBool(BOOL v) : value(v) {}  // NOLINT: converts like BOOL on purpose
    constexpr operator BOOL() const { return value; }
};

class DispatchObject;

enum class DispKind { Method, Property };

// One argument after coercion, as the handler receives it.
struct DispArg {
    DispArg() { ::VariantInit(&value); }
    ~DispArg() { ::VariantClear(&value); }
    DispArg(const DispArg&) = delete;
    DispArg& operator=(const DispArg&) = delete;

    VARIANT value;                  // VT_I4, VT_BOOL, or the VT_VARIANT copy
    std::string text;               // VT_BSTR: the 8-bit string
    long* ref = nullptr;            // VT_I4 | VT_BYREF: where the handler writes
    long refValue = 0;              // storage behind ref when written back
    long refOriginal = 0;           // refValue before the call: unchanged values are not written
    VARIANT* writeBack = nullptr;   // the caller's variant that gets refValue afterwards
};

// Calls the handler with the coerced arguments (in declaration order) and
// stores its result in *result (VT_EMPTY for none).
using DispThunk = void (*)(DispatchObject& object, DispArg* args, VARIANT* result);

struct DispMember {
    DispKind kind;
    VARTYPE type;                     // method: result type; property: its type
    std::span<const VARTYPE> params;  // method parameters in order; property: none
    DispThunk call;                   // method, or property get
    DispThunk put;                    // property put; null for a method
};

struct DispatchEntry {
    const wchar_t* name;  // matched case-insensitively by GetIDsOfNames
    DispMember member;
};

struct DispatchMap {
    const IID* iid;         // the object's own dispatch interface, also answered by QueryInterface
    const wchar_t* source;  // EXCEPINFO source for exceptions of this object's handlers
    std::span<const DispatchEntry> entries;  // dispatch id = index + 1
};

namespace dispatch_detail {

template <class T>
inline constexpr bool kUnsupported = false;

template <class T>
struct Arg {
    static_assert(kUnsupported<T>, "unsupported dispatch parameter type");
};
template <>
struct Arg<long> {
    static constexpr VARTYPE vt = VT_I4;
    static long Get(DispArg& a) { return V_I4(&a.value); }
};
template <>
struct Arg<DispBool> {
    static constexpr VARTYPE vt = VT_BOOL;
    static DispBool Get(DispArg& a) { return V_BOOL(&a.value) != VARIANT_FALSE ? TRUE : FALSE; }
};
template <>
struct Arg<const char*> {
    static constexpr VARTYPE vt = VT_BSTR;
    static const char* Get(DispArg& a) { return a.text.c_str(); }
};
template <>
struct Arg<long*> {
    static constexpr VARTYPE vt = VT_I4 | VT_BYREF;
    static long* Get(DispArg& a) { return a.ref; }
};
template <>
struct Arg<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
    static VARIANT Get(DispArg& a) { return a.value; }
};
template <>
struct Arg<const VARIANT&> {
    static constexpr VARTYPE vt = VT_VARIANT;
    static const VARIANT& Get(DispArg& a) { return a.value; }
};

template <class R>
struct Result {
    static_assert(kUnsupported<R>, "unsupported dispatch result type");
};
template <>
struct Result<void> {
    static constexpr VARTYPE vt = VT_EMPTY;
};
template <>
struct Result<long> {
    static constexpr VARTYPE vt = VT_I4;
    static void Set(VARIANT* r, long v) {
        V_VT(r) = VT_I4;
        V_I4(r) = v;
    }
};
template <>
struct Result<DispBool> {
    static constexpr VARTYPE vt = VT_BOOL;
    static void Set(VARIANT* r, DispBool v) {
        V_VT(r) = VT_BOOL;
        V_BOOL(r) = v.value ? VARIANT_TRUE : VARIANT_FALSE;
    }
};
template <>
struct Result<BSTR> {
    static constexpr VARTYPE vt = VT_BSTR;
    static void Set(VARIANT* r, BSTR v) {
        V_VT(r) = VT_BSTR;
        V_BSTR(r) = v;
    }
};
template <>
struct Result<IDispatch*> {
    static constexpr VARTYPE vt = VT_DISPATCH;
    static void Set(VARIANT* r, IDispatch* v) {
        V_VT(r) = VT_DISPATCH;
        V_DISPATCH(r) = v;
    }
};

template <class T, class R, class... A>
struct Signature {
    using Object = T;
    using ResultType = R;
    static constexpr std::array<VARTYPE, sizeof...(A)> params = {Arg<A>::vt...};
    static constexpr VARTYPE result = Result<R>::vt;

    template <auto F, std::size_t... I>
    static void Call(DispatchObject& object, DispArg* args, VARIANT* result,
                     std::index_sequence<I...>) {
        (void)args;
        T& self = static_cast<T&>(object);
        if constexpr (std::is_void_v<R>) {
            (void)result;
            (self.*F)(Arg<A>::Get(args[I])...);
        } else {
            Result<R>::Set(result, (self.*F)(Arg<A>::Get(args[I])...));
        }
    }
};

template <auto F>
struct Handler;
template <class T, class R, class... A, R (T::*F)(A...)>
struct Handler<F> : Signature<T, R, A...> {
    static void Thunk(DispatchObject& o, DispArg* args, VARIANT* result) {
        Signature<T, R, A...>::template Call<F>(o, args, result, std::index_sequence_for<A...>{});
    }
};
template <class T, class R, class... A, R (T::*F)(A...) const>
struct Handler<F> : Signature<T, R, A...> {
    static void Thunk(DispatchObject& o, DispArg* args, VARIANT* result) {
        Signature<T, R, A...>::template Call<F>(o, args, result, std::index_sequence_for<A...>{});
    }
};

template <auto Get, auto Put>
constexpr DispMember MakeProperty() {
    using G = Handler<Get>;
    using P = Handler<Put>;
    static_assert(G::params.empty(), "a property get takes no parameters");
    static_assert(P::params.size() == 1, "a property put takes the value alone");
    static_assert(std::is_void_v<typename P::ResultType>, "a property put returns nothing");
    static_assert(P::params[0] == G::result, "property get and put disagree on the type");
    static_assert(G::result != VT_EMPTY && G::result != (VT_I4 | VT_BYREF),
                  "a property carries a value");
    return {DispKind::Property, G::result, {}, &G::Thunk, &P::Thunk};
}

}  // namespace dispatch_detail

// A method row: fw::DispMethod<&Class::Member>.
template <auto F>
inline constexpr DispMember DispMethod = {
    DispKind::Method, dispatch_detail::Handler<F>::result,
    std::span<const VARTYPE>(dispatch_detail::Handler<F>::params),
    &dispatch_detail::Handler<F>::Thunk, nullptr};

// A property row with a get and a put handler: fw::DispProperty<&Class::GetX, &Class::SetX>.
template <auto Get, auto Put>
inline constexpr DispMember DispProperty = dispatch_detail::MakeProperty<Get, Put>();

// Finds the dispatch id of a member name (case-insensitive), or DISPID_UNKNOWN.
DISPID FindDispatchId(const DispatchMap& map, const wchar_t* name);

// The IDispatch of a dispatch map: GetIDsOfNames and Invoke follow the rules
// OLE clients rely on (see DispatchMap.cpp).
HRESULT DispatchGetIDsOfNames(const DispatchMap& map, LPOLESTR* names, UINT count,
                              DISPID* dispIds);
HRESULT DispatchInvoke(DispatchObject& object, const DispatchMap& map, DISPID dispId,
                       REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excepInfo, UINT* argErr);

// Base of the automation objects: IUnknown with an interlocked reference
// count, and IDispatch from the object's dispatch map.
class DispatchObject : public IDispatch {
public:
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // IUnknown: IUnknown, IDispatch and the map's own interface id.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch. No type information is served: clients bind by name.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispIds) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

    // The object's IDispatch, with a reference added for the caller when asked.
    IDispatch* GetIDispatch(bool addRef);

    virtual const DispatchMap& GetDispatchMap() const = 0;

protected:
    DispatchObject() = default;
    virtual ~DispatchObject() = default;

    // The last reference is gone. Default: delete this.
    virtual void OnFinalRelease();

private:
    volatile LONG m_refCount = 0;
};

// For a class factory's create function: makes a T and queries it for iid.
// The object is freed again (through its final release) when the query fails.
template <class T>
HRESULT CreateDispatchObject(REFIID iid, void** object) {
    T* created = new T;  // std::bad_alloc is answered by the factory
    created->AddRef();
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

}  // namespace fw
