// The dispatch-map mechanism itself, in this process: a small object whose
// members use every parameter and result type the maps support, called
// through its IDispatch as an OLE client calls it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "DispatchMap.h"
#include "OleException.h"
#include "OleString.h"

namespace {

// {5d0b2a4e-3c71-4f0e-9a55-2b8e1c9d7f01}
constexpr IID IID_IProbe = {0x5d0b2a4e, 0x3c71, 0x4f0e, {0x9a, 0x55, 0x2b, 0x8e, 0x1c, 0x9d, 0x7f, 0x01}};

int g_finalReleases = 0;

class Probe final : public fw::DispatchObject {
public:
    long GetLevel() { return m_level; }
    void SetLevel(long value) { m_level = value; }
    fw::DispBool GetOpen() { return m_open; }
    void SetOpen(fw::DispBool value) { m_open = value; }
    BSTR Echo(const char* text, long times) {
        std::string out;
        for (long i = 0; i < times; ++i) out += text;
        m_calls.push_back("Echo " + std::string(text));
        return fw::AnsiToBstr(out);
    }
    fw::DispBool Swap(long* a, long* b) {
        const long t = *a;
        *a = *b;
        *b = t;
        return TRUE;
    }
    fw::DispBool Leave(long*, long*) { return FALSE; }  // writes nothing
    long Kind(VARIANT v) { return V_VT(&v); }
    void Fail(long how) {
        if (how == 1) throw fw::OleDispatchException("the probe refused", 1234);
        if (how == 2) throw std::runtime_error("probe broke");
        throw 42;
    }
    IDispatch* Self() { return GetIDispatch(true); }

    const fw::DispatchMap& GetDispatchMap() const override { return dispatchMap; }
    static const fw::DispatchMap dispatchMap;

    std::vector<std::string> m_calls;
    BOOL m_open = FALSE;

protected:
    void OnFinalRelease() override {
        ++g_finalReleases;
        fw::DispatchObject::OnFinalRelease();
    }

private:
    long m_level = 0;
    static const fw::DispatchEntry dispatchEntries[];
};

const fw::DispatchEntry Probe::dispatchEntries[] = {
    {L"Level", fw::DispProperty<&Probe::GetLevel, &Probe::SetLevel>},  // 1
    {L"Open",  fw::DispProperty<&Probe::GetOpen, &Probe::SetOpen>},    // 2
    {L"Echo",  fw::DispMethod<&Probe::Echo>},                          // 3
    {L"Swap",  fw::DispMethod<&Probe::Swap>},                          // 4
    {L"Leave", fw::DispMethod<&Probe::Leave>},                         // 5
    {L"Kind",  fw::DispMethod<&Probe::Kind>},                          // 6
    {L"Fail",  fw::DispMethod<&Probe::Fail>},                          // 7
    {L"Self",  fw::DispMethod<&Probe::Self>},                          // 8
};
const fw::DispatchMap Probe::dispatchMap = {&IID_IProbe, L"Probe", dispatchEntries};

VARIANT Long(long v) {
    VARIANT r;
    ::VariantInit(&r);
    V_VT(&r) = VT_I4;
    V_I4(&r) = v;
    return r;
}

VARIANT Ref(VARTYPE type, void* p) {
    VARIANT r;
    ::VariantInit(&r);
    V_VT(&r) = type | VT_BYREF;
    V_BYREF(&r) = p;
    return r;
}

class DispatchMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_probe = new Probe;
        m_probe->AddRef();
    }
    void TearDown() override {
        m_probe->Release();
        for (BSTR s : m_strings) ::SysFreeString(s);
    }

    // A VT_BSTR argument; the fixture frees the string. Null stays null.
    VARIANT String(const wchar_t* s, UINT length = 0) {
        VARIANT r;
        ::VariantInit(&r);
        V_VT(&r) = VT_BSTR;
        V_BSTR(&r) = !s ? nullptr : length ? ::SysAllocStringLen(s, length) : ::SysAllocString(s);
        m_strings.push_back(V_BSTR(&r));
        return r;
    }

    // Invokes with the arguments in rgvarg order (last argument first).
    HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> rgvarg, VARIANT* result = nullptr,
                 UINT* argErr = nullptr, std::vector<DISPID> named = {}, EXCEPINFO* info = nullptr) {
        DISPPARAMS p{rgvarg.data(), named.data(), static_cast<UINT>(rgvarg.size()),
                     static_cast<UINT>(named.size())};
        return m_probe->Invoke(id, IID_NULL, 0, flags, &p, result, info, argErr);
    }
    HRESULT Put(DISPID id, VARIANT value, WORD flags = DISPATCH_PROPERTYPUT) {
        return Call(id, flags, {value}, nullptr, nullptr, {DISPID_PROPERTYPUT});
    }

    Probe* m_probe = nullptr;
    std::vector<BSTR> m_strings;
};

TEST_F(DispatchMapTest, ArgumentsArriveInDeclarationOrderAndResultsAreNewStrings) {
    VARIANT result;
    ::VariantInit(&result);
    // rgvarg is reversed: times (3) is rgvarg[0], text is rgvarg[1].
    ASSERT_EQ(Call(3, DISPATCH_METHOD, {Long(3), String(L"ab")}, &result), S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&result), L"ababab");
    ::VariantClear(&result);

    // Both bits at once, as VBScript sends them; a string coerced to long.
    ASSERT_EQ(Call(3, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {String(L"2"), String(L"x")}, &result),
              S_OK);
    EXPECT_STREQ(V_BSTR(&result), L"xx");
    ::VariantClear(&result);

    // No result wanted: the string is freed, the member still runs.
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), String(L"quiet")}), S_OK);
    EXPECT_EQ(m_probe->m_calls.back(), "Echo quiet");

    // A null BSTR is the empty string; an embedded NUL ends the 8-bit text;
    // a character outside the code page becomes '?'.
    VARIANT nullString = String(nullptr);
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), nullString}), S_OK);
    EXPECT_EQ(m_probe->m_calls.back(), "Echo ");
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), String(L"p\0q", 3)}), S_OK);
    EXPECT_EQ(m_probe->m_calls.back(), "Echo p");
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), String(L"x\u4E2Dy")}), S_OK);
    EXPECT_EQ(m_probe->m_calls.back(), "Echo x?y");
}

TEST_F(DispatchMapTest, PropertiesGetAndPutThroughTheirHandlers) {
    EXPECT_EQ(Put(1, Long(17)), S_OK);
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(Call(1, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 17);
    EXPECT_EQ(Put(1, Long(5), DISPATCH_PROPERTYPUTREF), S_OK);
    EXPECT_EQ(Call(1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_I4(&result), 5);

    VARIANT yes;
    ::VariantInit(&yes);
    V_VT(&yes) = VT_BOOL;
    V_BOOL(&yes) = VARIANT_TRUE;
    EXPECT_EQ(Put(2, yes), S_OK);
    EXPECT_EQ(Call(2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    EXPECT_EQ(m_probe->m_open, TRUE);  // VARIANT_TRUE arrives as TRUE (1), not -1
}

TEST_F(DispatchMapTest, WrongCallsAreAnsweredBeforeTheMemberRuns) {
    UINT argErr = 99;
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), String(L"a"), Long(2)}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {String(L"many"), String(L"a")}, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);  // the second argument, rgvarg[0]
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_I4, 0, 2);
    VARIANT arrayArg;
    ::VariantInit(&arrayArg);
    V_VT(&arrayArg) = VT_ARRAY | VT_I4;
    V_ARRAY(&arrayArg) = array;
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), arrayArg}, nullptr, &argErr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);  // the first argument, rgvarg[1]
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), arrayArg}), DISP_E_TYPEMISMATCH);  // puArgErr null
    ::VariantClear(&arrayArg);
    VARIANT missing;
    ::VariantInit(&missing);
    V_VT(&missing) = VT_ERROR;
    V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {missing, String(L"a")}, nullptr, &argErr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(argErr, 0u);
    EXPECT_TRUE(m_probe->m_calls.empty());

    EXPECT_EQ(Call(0, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(9, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Put(3, Long(1)), DISP_E_MEMBERNOTFOUND);          // a method put
    EXPECT_EQ(Call(1, DISPATCH_PROPERTYGET, {Long(1)}), DISP_E_MEMBERNOTFOUND);  // indexed get
    EXPECT_EQ(Call(7, DISPATCH_PROPERTYGET, {Long(1)}), DISP_E_MEMBERNOTFOUND);  // void method read
    EXPECT_EQ(Call(1, 0, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(1, DISPATCH_PROPERTYPUT, {Long(1)}), DISP_E_PARAMNOTFOUND);  // no named arg
    EXPECT_EQ(Call(1, DISPATCH_PROPERTYPUT, {Long(1)}, nullptr, nullptr, {4}), DISP_E_NONAMEDARGS);
    EXPECT_EQ(Call(1, DISPATCH_PROPERTYPUT, {Long(1), Long(2)}, nullptr, nullptr,
                   {DISPID_PROPERTYPUT}),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(3, DISPATCH_METHOD, {Long(1), String(L"a")}, nullptr, nullptr, {0}),
              DISP_E_NONAMEDARGS);
    DISPPARAMS none{};
    EXPECT_EQ(m_probe->Invoke(1, IID_IProbe, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr,
                              nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_TRUE(m_probe->m_calls.empty());
}

TEST_F(DispatchMapTest, LongReferencesTakeWhatClientsPass) {
    // Typed references: written in place.
    long a = 1, b = 2;
    VARIANT result;
    ::VariantInit(&result);
    ASSERT_EQ(Call(4, DISPATCH_METHOD, {Ref(VT_I4, &b), Ref(VT_I4, &a)}, &result), S_OK);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);

    // VBScript variables: variants by reference, one holding an Integer
    // (VT_I2), one a Long; both get the swapped values as Long.
    VARIANT x, y;
    ::VariantInit(&x);
    ::VariantInit(&y);
    V_VT(&x) = VT_I2;
    V_I2(&x) = 10;
    V_VT(&y) = VT_I4;
    V_I4(&y) = 20;
    ASSERT_EQ(Call(4, DISPATCH_METHOD, {Ref(VT_VARIANT, &y), Ref(VT_VARIANT, &x)}), S_OK);
    EXPECT_EQ(V_VT(&x), VT_I4);
    EXPECT_EQ(V_I4(&x), 20);
    EXPECT_EQ(V_VT(&y), VT_I4);
    EXPECT_EQ(V_I4(&y), 10);

    // A member that writes nothing leaves the variables as they were.
    V_VT(&x) = VT_I2;
    V_I2(&x) = 10;
    ASSERT_EQ(Call(5, DISPATCH_METHOD, {Ref(VT_VARIANT, &y), Ref(VT_VARIANT, &x)}, &result), S_OK);
    EXPECT_EQ(V_VT(&x), VT_I2);
    EXPECT_EQ(V_I2(&x), 10);
    EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);

    // A variant holding a long by reference.
    long c = 7;
    VARIANT inner = Ref(VT_I4, &c);
    ASSERT_EQ(Call(4, DISPATCH_METHOD, {Ref(VT_VARIANT, &inner), Ref(VT_I4, &a)}), S_OK);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(a, 7);

    // A value where a reference is needed, or a reference to a short: no.
    short s = 3;
    UINT argErr = 99;
    EXPECT_EQ(Call(4, DISPATCH_METHOD, {Ref(VT_I2, &s), Ref(VT_I4, &a)}, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(Call(4, DISPATCH_METHOD, {Ref(VT_I4, &b), Long(1)}, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    EXPECT_EQ(s, 3);
}

TEST_F(DispatchMapTest, VariantsArriveWithReferencesResolved) {
    VARIANT result;
    ::VariantInit(&result);
    ASSERT_EQ(Call(6, DISPATCH_METHOD, {String(L"s")}, &result), S_OK);
    EXPECT_EQ(V_I4(&result), VT_BSTR);
    VARIANT held = Long(4);
    ASSERT_EQ(Call(6, DISPATCH_METHOD, {Ref(VT_VARIANT, &held)}, &result), S_OK);
    EXPECT_EQ(V_I4(&result), VT_I4);
    VARIANT empty;
    ::VariantInit(&empty);
    ASSERT_EQ(Call(6, DISPATCH_METHOD, {empty}, &result), S_OK);
    EXPECT_EQ(V_I4(&result), VT_EMPTY);
}

TEST_F(DispatchMapTest, ExceptionsBecomeExceptionInfo) {
    EXCEPINFO info{};
    EXPECT_EQ(Call(7, DISPATCH_METHOD, {Long(1)}, nullptr, nullptr, {}, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.wCode, 1234);
    EXPECT_STREQ(info.bstrDescription, L"the probe refused");
    EXPECT_STREQ(info.bstrSource, L"Probe");
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrSource);

    info = {};
    EXPECT_EQ(Call(7, DISPATCH_METHOD, {Long(2)}, nullptr, nullptr, {}, &info), DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, E_FAIL);
    EXPECT_STREQ(info.bstrDescription, L"probe broke");
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrSource);

    // Something that is no std::exception, and no EXCEPINFO to fill.
    EXPECT_EQ(Call(7, DISPATCH_METHOD, {Long(3)}), DISP_E_EXCEPTION);
}

TEST(DispatchObject, AnswersItsInterfacesAndFreesItselfOnceAtTheLastRelease) {
    g_finalReleases = 0;
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(fw::CreateDispatchObject<Probe>(IID_IProbe, reinterpret_cast<void**>(&dispatch)),
              S_OK);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    IDispatch* plain = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&plain)), S_OK);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(dispatch->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    UINT count = 9;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);

    // A dispatch result hands the caller a reference of its own.
    VARIANT self;
    ::VariantInit(&self);
    DISPPARAMS none{};
    ASSERT_EQ(dispatch->Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &none, &self, nullptr, nullptr), S_OK);
    ASSERT_EQ(V_VT(&self), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&self), plain);
    ::VariantClear(&self);

    unknown->Release();
    plain->Release();
    EXPECT_EQ(g_finalReleases, 0);
    EXPECT_EQ(dispatch->Release(), 0u);
    EXPECT_EQ(g_finalReleases, 1);

    // A failed query frees the new object again.
    void* none2 = nullptr;
    EXPECT_EQ(fw::CreateDispatchObject<Probe>(IID_IClassFactory, &none2), E_NOINTERFACE);
    EXPECT_EQ(g_finalReleases, 2);
}

}  // namespace
