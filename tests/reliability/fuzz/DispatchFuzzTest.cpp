// Randomized calls through an automation object's IDispatch: random dispatch
// ids, call kinds, argument counts, named arguments and VARIANTs of every
// kind (numbers at their boundaries, strings that look like numbers, objects,
// arrays, errors, references) against a camera-shaped object of the
// framework. Every answer is compared with OLE's standard dispatch
// (CreateStdDispatch) over an identical object given identical arguments: the
// HRESULT, the result, the exception, what the member received and what
// came back through references must all agree. Two departures are the
// framework's on purpose, and checked on their own: more arguments than the
// member takes are refused, and a variant by reference is accepted for a
// long by reference, getting the long back. A call for another interface
// (riid not IID_NULL) gets DISP_E_UNKNOWNINTERFACE, as IDispatch's contract
// says; Wine's standard dispatch answers it otherwise.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include <wrl/client.h>

#include "AutomationObject.h"
#include "FuzzInputs.h"
#include "OleString.h"
#include "TypeInfoWalk.h"
#include "automation/guids.h"

using Microsoft::WRL::ComPtr;

namespace {

// A camera that records what each member received and writes through its
// references, so that coercion and write-back show. SetWindowSize(13, ...)
// fails with the text "thirteen".
template <class Base>
class Recorder : public Base {
public:
    template <class... A>
    explicit Recorder(A&&... a) : Base(std::forward<A>(a)...) {}

    std::vector<std::string> calls;

    HRESULT STDMETHODCALLTYPE get_DrawMode(LONG* v) override { return Note("DrawMode?"), *v = m_mode, S_OK; }
    HRESULT STDMETHODCALLTYPE put_DrawMode(LONG v) override { return Note("DrawMode=" + N(v)), m_mode = v, S_OK; }
    HRESULT STDMETHODCALLTYPE get_OnTop(VARIANT_BOOL* v) override { return Note("OnTop?"), *v = m_top, S_OK; }
    HRESULT STDMETHODCALLTYPE put_OnTop(VARIANT_BOOL v) override { return Note("OnTop=" + N(v)), m_top = v, S_OK; }
    HRESULT STDMETHODCALLTYPE get_ShowMenu(VARIANT_BOOL* v) override { return Note("ShowMenu?"), *v = VARIANT_TRUE, S_OK; }
    HRESULT STDMETHODCALLTYPE put_ShowMenu(VARIANT_BOOL v) override { return Note("ShowMenu=" + N(v)), S_OK; }
    HRESULT STDMETHODCALLTYPE GetViewSize(LONG* w, LONG* h, VARIANT_BOOL* r) override {
        Note("GetViewSize " + N(*w) + " " + N(*h));
        *w += 1;  // one written, one left alone when it is odd
        if (*h % 2 == 0) *h = -*h;
        *r = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetViewSize(LONG w, LONG h, VARIANT_BOOL f, VARIANT_BOOL* r) override {
        Note("SetViewSize " + N(w) + " " + N(h) + " " + N(f));
        *r = f;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowSize(LONG* l, LONG* t, LONG* r, LONG* b, VARIANT_BOOL* res) override {
        Note("GetWindowSize " + N(*l) + " " + N(*t) + " " + N(*r) + " " + N(*b));
        *b = *l ^ *t;
        *res = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetWindowSize(LONG l, LONG t, LONG r, LONG b) override {
        Note("SetWindowSize " + N(l) + " " + N(t) + " " + N(r) + " " + N(b));
        return l == 13 ? this->Fail("thirteen") : S_OK;
    }

private:
    static std::string N(long v) { return std::to_string(v); }
    void Note(const std::string& call) { calls.push_back(call); }
    LONG m_mode = 0;
    VARIANT_BOOL m_top = VARIANT_FALSE;
};

// The framework's object: a member's failure is a C++ exception.
class FrameworkBase : public fw::AutomationObject<IVelmorCamera> {
public:
    FrameworkBase() : fw::AutomationObject<IVelmorCamera>(L"Fuzz.Camera") {}
    HRESULT Fail(const char* text) {
        return Guard([&] { throw std::runtime_error(text); });
    }
};

// The object standard dispatch calls: only its vtable is used; a member's
// failure is the HRESULT and error information OLE expects from it.
class PlainBase : public IVelmorCamera {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** o) override { return *o = nullptr, E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }   // lives on the stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT Fail(const char* text) {
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(::CreateErrorInfo(&create))) {
            fw::OleString description(fw::AnsiToBstr(text));
            create->SetGUID(IID_IVelmorCamera);
            create->SetSource(const_cast<LPOLESTR>(L"Fuzz.Camera"));
            create->SetDescription(description.Get());
            ComPtr<IErrorInfo> error;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, &error)))
                ::SetErrorInfo(0, error.Get());
            create->Release();
        }
        return E_FAIL;
    }
};

// The camera's member `id` called as `kind`, from the table that the type
// library is checked against; null when it has no such function.
const vt::MemberRow* CameraMember(DISPID id, INVOKEKIND kind) {
    static const std::vector<vt::MemberRow> members = vt::CameraMembers();
    for (const vt::MemberRow& m : members)
        if (m.id == id && m.kind == kind) return &m;
    return nullptr;
}
// Positional parameters of the member under that kind; -1 when it has none.
int ParameterCount(DISPID id, INVOKEKIND kind) {
    const vt::MemberRow* m = CameraMember(id, kind);
    return m ? static_cast<int>(m->params.size()) : -1;
}
bool LongRefParameters(DISPID id) {
    const vt::MemberRow* m = CameraMember(id, INVOKE_FUNC);
    return m && !m->params.empty() && m->params[0] == (VT_I4 | VT_BYREF);
}

// The most arguments the member can take under the kinds the flags ask for;
// -1 when it has none of them.
int MostArguments(DISPID id, WORD flags) {
    std::vector<INVOKEKIND> kinds;
    if (flags & DISPATCH_PROPERTYPUT) kinds = {INVOKE_PROPERTYPUT};
    else if (flags & DISPATCH_PROPERTYPUTREF) kinds = {INVOKE_PROPERTYPUTREF};
    else {
        if (flags & DISPATCH_METHOD) kinds.push_back(INVOKE_FUNC);
        if (flags & DISPATCH_PROPERTYGET) kinds.push_back(INVOKE_PROPERTYGET);
    }
    for (INVOKEKIND k : kinds)
        if (ParameterCount(id, k) >= 0) return ParameterCount(id, k);
    return -1;
}

const std::vector<std::string> kNumberTexts = {
    "0", "1", "-1", "12", " 12 ", "2147483647", "2147483648", "-2147483648", "-2147483649",
    "4294967296", "1e308", "1e309", "0x10", "&H10", "1,5", "1.5", "True", "False", "#TRUE#",
    "", " ", "abc", "%n%s", "\xE9", "12abc"};

// Owns the VARIANTs of one call and what their references point to. Storage
// is reserved up front: references point into it.
class Arguments {
public:
    explicit Arguments(std::size_t count) {
        values.reserve(count);
        inner.reserve(count);
        longs.reserve(2 * count);
        strings.reserve(count);
    }
    ~Arguments() {
        for (VARIANT& v : values) ::VariantClear(&v);
        for (VARIANT& v : inner) ::VariantClear(&v);
        for (BSTR s : strings) ::SysFreeString(s);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    long* NewLong(long v) { return &longs.emplace_back(v); }
    BSTR* NewString(BSTR s) { return &strings.emplace_back(s); }

    // A copy of `v` whose references point into this object's own storage.
    VARIANT Clone(const VARIANT& v) {
        VARIANT c;
        ::VariantInit(&c);
        switch (V_VT(&v)) {
        case VT_I4 | VT_BYREF: V_VT(&c) = V_VT(&v); V_I4REF(&c) = NewLong(*V_I4REF(&v)); break;
        case VT_BSTR | VT_BYREF:
            V_VT(&c) = V_VT(&v);
            V_BSTRREF(&c) = NewString(::SysAllocStringLen(*V_BSTRREF(&v), ::SysStringLen(*V_BSTRREF(&v))));
            break;
        case VT_VARIANT | VT_BYREF:
            V_VT(&c) = V_VT(&v);
            V_VARIANTREF(&c) = &inner.emplace_back(Clone(*V_VARIANTREF(&v)));
            break;
        default:
            if (FAILED(::VariantCopy(&c, const_cast<VARIANT*>(&v)))) c = v;  // a type no copy knows
        }
        return c;
    }

    std::vector<VARIANT> values;  // rgvarg, last argument first
    std::vector<VARIANT> inner;   // targets of VT_VARIANT | VT_BYREF
    std::vector<long> longs;      // targets of VT_I4 | VT_BYREF
    std::vector<BSTR> strings;    // targets of VT_BSTR | VT_BYREF
};

VARIANT RandomValue(fuzz::Random& random, Arguments& owner, IDispatch* object, bool references) {
    VARIANT v;
    ::VariantInit(&v);
    const std::int64_t n = random.Pick(fuzz::BoundaryNumbers());
    switch (random.Below(references ? 19 : 16)) {
    case 0: break;  // VT_EMPTY
    case 1: V_VT(&v) = VT_NULL; break;
    case 2: V_VT(&v) = VT_I4; V_I4(&v) = static_cast<LONG>(random.Chance(30) ? 13 : n); break;
    case 3: V_VT(&v) = VT_I2; V_I2(&v) = static_cast<SHORT>(n); break;
    case 4: V_VT(&v) = VT_R8; V_R8(&v) = static_cast<double>(n) * (random.Chance(50) ? 1 : 0.5); break;
    case 5: V_VT(&v) = VT_I8; V_I8(&v) = n; break;
    case 6: V_VT(&v) = VT_UI4; V_UI4(&v) = static_cast<ULONG>(n); break;
    case 7: {
        const std::string text = random.Chance(70) ? random.Pick(kNumberTexts)
                                                   : fuzz::Text(random, fuzz::Length(random) % 5000);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = random.Chance(5) ? nullptr : fw::AnsiToBstr(text);
        break;
    }
    case 8: V_VT(&v) = VT_BOOL; V_BOOL(&v) = random.Chance(50) ? VARIANT_TRUE : VARIANT_FALSE; break;
    case 9:
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = random.Chance(70) ? DISP_E_PARAMNOTFOUND : static_cast<SCODE>(n);
        break;
    case 10:
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = random.Chance(50) ? nullptr : object;
        if (V_DISPATCH(&v)) object->AddRef();
        break;
    case 11:
        V_VT(&v) = VT_UNKNOWN;
        V_UNKNOWN(&v) = random.Chance(50) ? nullptr : object;
        if (V_UNKNOWN(&v)) object->AddRef();
        break;
    case 12:
        V_VT(&v) = VT_ARRAY | VT_I4;
        V_ARRAY(&v) = ::SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(random.Below(4)));
        break;
    case 13: V_VT(&v) = VT_CY; V_CY(&v).int64 = n * 10000; break;
    case 14: V_VT(&v) = VT_DATE; V_DATE(&v) = static_cast<double>(n); break;
    case 15: V_VT(&v) = static_cast<VARTYPE>(random.Chance(50) ? 0x3F : 0x7FF); break;  // unknown
    case 16: V_VT(&v) = VT_I4 | VT_BYREF; V_I4REF(&v) = owner.NewLong(static_cast<long>(n)); break;
    case 17:
        V_VT(&v) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&v) = owner.NewString(fw::AnsiToBstr(random.Pick(kNumberTexts)));
        break;
    default:
        V_VT(&v) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&v) = &owner.inner.emplace_back(RandomValue(random, owner, object, false));
        break;
    }
    return v;
}

// A variant by reference that the framework passes to a long by reference:
// the long it holds, when it has one.
bool LongOf(const VARIANT& arg, long& value) {
    if (V_VT(&arg) != (VT_VARIANT | VT_BYREF)) return false;
    VARIANT* inner = V_VARIANTREF(&arg);
    if (V_VT(inner) == (VT_I4 | VT_BYREF)) return value = *V_I4REF(inner), true;
    if (V_VT(inner) & (VT_BYREF | VT_ARRAY)) return false;
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, inner, 0, VT_I4))) return false;
    value = V_I4(&converted);
    return true;
}

std::string Show(const VARIANT& v) {
    VARIANT text;
    ::VariantInit(&text);
    std::string s = std::to_string(V_VT(&v));
    if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR)))
        s += ":" + fw::BstrToAnsi(V_BSTR(&text));
    ::VariantClear(&text);
    return s;
}

// What a reference argument holds after the call.
std::string Held(const VARIANT& arg) {
    switch (V_VT(&arg)) {
    case VT_I4 | VT_BYREF: return std::to_string(*V_I4REF(&arg));
    case VT_BSTR | VT_BYREF: return fw::BstrToAnsi(*V_BSTRREF(&arg));
    case VT_VARIANT | VT_BYREF: {
        const VARIANT& inner = *V_VARIANTREF(&arg);
        return V_VT(&inner) == (VT_I4 | VT_BYREF) ? "ref " + std::to_string(*V_I4REF(&inner))
                                                 : Show(inner);
    }
    default: return "";
    }
}

struct Outcome {
    HRESULT hr;
    std::string result;
    std::string exception;
    std::vector<std::string> calls;
    std::vector<std::string> held;
};

template <class Object>
Outcome Call(IDispatch* dispatch, Object& object, DISPID id, REFIID riid, WORD flags,
             Arguments& args, std::vector<DISPID>& named) {
    object.calls.clear();
    DISPPARAMS params{args.values.data(), named.data(), static_cast<UINT>(args.values.size()),
                      static_cast<UINT>(named.size())};
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO info{};
    Outcome o{dispatch->Invoke(id, riid, LOCALE_USER_DEFAULT, flags, &params, &result, &info,
                               nullptr), "", "", object.calls, {}};
    o.result = Show(result);
    if (o.hr == DISP_E_EXCEPTION)
        o.exception = std::to_string(info.scode) + " " + fw::BstrToAnsi(info.bstrDescription);
    for (const VARIANT& v : args.values) o.held.push_back(Held(v));
    ::VariantClear(&result);
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    return o;
}

std::string Differs(const Outcome& a, const Outcome& b) {
    if (a.hr != b.hr) return "answer " + std::to_string(a.hr) + " not " + std::to_string(b.hr);
    if (a.result != b.result) return "result " + a.result + " not " + b.result;
    if (a.exception != b.exception) return "exception " + a.exception + " not " + b.exception;
    if (a.calls != b.calls) return "the member received other values";
    if (a.held != b.held) return "references hold other values";
    return "";
}

TEST(FuzzDispatch, RandomCallsGetTheAnswersOfStandardDispatch) {
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(fw::GetProgramTypeInfo(IID_IVelmorCamera, true, &vtable), S_OK);
    auto* tested = new Recorder<FrameworkBase>();
    ComPtr<IVelmorCamera> testedRef;
    testedRef.Attach(tested->GetInterface());  // GetInterface added the reference
    Recorder<PlainBase> plain;
    ComPtr<IUnknown> standardUnknown;
    ASSERT_EQ(::CreateStdDispatch(nullptr, &plain, vtable.Get(), &standardUnknown), S_OK);
    ComPtr<IDispatch> standard;
    ASSERT_EQ(standardUnknown->QueryInterface(IID_IDispatch, &standard), S_OK);

    fuzz::Random random(fuzz::Seed() ^ 0x444953);
    const WORD kFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                           DISPATCH_METHOD | DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUTREF, 0};
    static const UINT kCounts[] = {0, 0, 0, 0, 2, 3, 4, 4, 0};
    std::size_t calls = 0, succeeded = 0, refused = 0, converted = 0;
    for (fuzz::Deadline deadline(0.4); !deadline.Passed(); ++calls) {
        const DISPID id = random.Chance(90) ? static_cast<DISPID>(random.Below(9))
                                            : static_cast<DISPID>(fuzz::BoundaryInt(random));
        const WORD flags = random.Chance(90) ? kFlags[random.Below(std::size(kFlags))]
                                             : static_cast<WORD>(random.Next());
        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        // Mostly the member's own number of arguments, so that coercion runs.
        const UINT natural = id >= 1 && id <= 3 ? (put ? 1 : 0) : kCounts[id >= 0 && id < 9 ? id : 0];
        const UINT count = static_cast<UINT>(random.Chance(60)   ? natural
                                             : random.Chance(80) ? random.Below(5)
                                                                 : random.Below(12));
        Arguments ours(count);
        for (UINT i = 0; i < count; ++i)
            ours.values.push_back(RandomValue(random, ours, tested, true));
        std::vector<DISPID> named;
        if (put && count == 1 && random.Chance(80)) {
            named.push_back(DISPID_PROPERTYPUT);
        } else if (count && random.Chance(20)) {
            const UINT n = static_cast<UINT>(1 + random.Below(count));
            for (UINT i = 0; i < n; ++i)
                named.push_back(random.Chance(50) ? DISPID_PROPERTYPUT
                                                  : static_cast<DISPID>(random.Below(5)));
        }
        const IID riid = random.Chance(97) ? IID_NULL : IID_IDispatch;

        // Standard dispatch gets the same arguments, in storage of its own;
        // where the framework takes a variant by reference for a long by
        // reference, it gets that long by reference.
        Arguments theirs(count);
        std::vector<long> passedLongs(count, 0);
        std::vector<bool> asLong(count, false);
        for (UINT i = 0; i < count; ++i) theirs.values.push_back(theirs.Clone(ours.values[i]));
        const int most = MostArguments(id, flags);
        const bool tooMany = most >= 0 && count > static_cast<UINT>(most);
        if (!tooMany && named.empty() && (flags & DISPATCH_METHOD) && !put && LongRefParameters(id)) {
            for (UINT i = 0; i < count; ++i) {
                long value = 0;
                if (!LongOf(ours.values[i], value)) continue;
                ::VariantClear(&theirs.values[i]);
                V_VT(&theirs.values[i]) = VT_I4 | VT_BYREF;
                V_I4REF(&theirs.values[i]) = theirs.NewLong(value);
                passedLongs[i] = value;
                asLong[i] = true;
            }
        }

        std::vector<std::string> heldBefore;
        for (const VARIANT& v : ours.values) heldBefore.push_back(Held(v));
        const Outcome got = Call(tested->GetInterface(), *tested, id, riid, flags, ours, named);
        tested->Release();  // the reference GetInterface added
        std::string fault;
        if (riid != IID_NULL) {
            // IDispatch's contract; Wine's standard dispatch answers E_INVALIDARG.
            if (got.hr != DISP_E_UNKNOWNINTERFACE || !got.calls.empty())
                fault = "another interface's member was not refused";
        } else if (tooMany) {
            ++refused;
            if (got.hr != DISP_E_BADPARAMCOUNT || !got.calls.empty())
                fault = "more arguments than the member takes were not refused";
        } else {
            Outcome want = Call(standard.Get(), plain, id, riid, flags, theirs, named);
            for (UINT i = 0; i < count; ++i) {
                if (!asLong[i]) continue;
                ++converted;
                // The long came back into the variant as VT_I4 when the member
                // changed it, and only then; a long held by reference was
                // written in place.
                const VARIANT& inner = *V_VARIANTREF(&ours.values[i]);
                const long now = *V_I4REF(&theirs.values[i]);
                if (V_VT(&inner) == (VT_I4 | VT_BYREF)) want.held[i] = "ref " + std::to_string(now);
                else if (SUCCEEDED(want.hr) && now != passedLongs[i]) want.held[i] = "3:" + std::to_string(now);
                else want.held[i] = heldBefore[i];
            }
            fault = Differs(got, want);
        }
        if (SUCCEEDED(got.hr)) ++succeeded;
        if (!fault.empty()) {
            ADD_FAILURE() << "call " << calls << ": dispid " << id << ", flags " << flags << ", "
                          << count << " arguments, " << named.size() << " named: " << fault;
            break;
        }
    }
    std::printf("Invoke: %zu calls, %zu succeeded, %zu refused for their count, %zu longs "
                "through variants\n",
                calls, succeeded, refused, converted);
    EXPECT_GT(succeeded, 0u);
    EXPECT_GT(refused, 0u);
    EXPECT_GT(converted, 0u);
}

}  // namespace
