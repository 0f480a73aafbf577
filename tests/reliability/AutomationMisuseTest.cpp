// Wrong calls of every member of the editor automation server, made by a real
// client (this process) on an OLE-started shell: argument counts, types,
// references, named arguments, puts without their named argument, unknown
// names and dispatch ids, methods called as properties and the reverse. Each
// gets OLE's standard answer, none reaches the engine, and the shell serves
// on. Where Windows and Wine answer a wrong call with different codes, only
// the failure is checked.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "EdServerClient.h"
#include "TypeInfoWalk.h"
#include "OleShell.h"

namespace {

using vt::Variant;

struct Member {
    DISPID id;
    std::string name;
    bool property;
    std::vector<VARTYPE> params;  // a method's parameters; none for a property
    VARTYPE type;                 // a property's type, a method's result (VT_EMPTY: none)
};

// The server's members, from the table that the type library is checked
// against: a property once, by its get function.
std::vector<Member> ServerMembers() {
    std::vector<Member> members;
    for (const vt::MemberRow& row : vt::EdServerMembers()) {
        if (row.kind == INVOKE_PROPERTYPUT) continue;
        const bool property = row.kind == INVOKE_PROPERTYGET;
        members.push_back({row.id, row.name, property, property ? std::vector<VARTYPE>{} : row.params,
                           row.result});
    }
    return members;
}

const std::vector<Member> kMembers = ServerMembers();

// The kinds of wrong argument a client sends, by what it puts in the VARIANT.
enum class Bad { Text, Object, Unknown, Array, Null, Empty, Missing };
const char* Name(Bad bad) {
    switch (bad) {
    case Bad::Text: return "non-numeric string";
    case Bad::Object: return "object";
    case Bad::Unknown: return "IUnknown";
    case Bad::Array: return "SAFEARRAY";
    case Bad::Null: return "VT_NULL";
    case Bad::Empty: return "VT_EMPTY";
    case Bad::Missing: return "missing (VT_ERROR)";
    }
    return "?";
}
const Bad kBad[] = {Bad::Text, Bad::Object, Bad::Unknown, Bad::Array,
                    Bad::Null, Bad::Empty,  Bad::Missing};

// The answer of standard automation coercion for a wrong argument of a
// parameter type: S_OK where the value converts (VT_EMPTY is 0, FALSE or "";
// a string is a string; a VARIANT takes anything), DISP_E_TYPEMISMATCH
// otherwise. A missing argument is refused, with a code that differs between
// Windows and Wine (E_FAIL stands for "some failure").
HRESULT Expected(VARTYPE type, Bad bad) {
    if (type == VT_VARIANT) return S_OK;
    if (bad == Bad::Missing) return E_FAIL;
    if (bad == Bad::Empty) return S_OK;
    if (bad == Bad::Text && type == VT_BSTR) return S_OK;
    return DISP_E_TYPEMISMATCH;
}

class AutomationMisuse : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_shell = std::make_unique<vt::OleShell>("rel-misuse");
        vt::ClientDirectory directory(s_shell->Tree());
        s_client = std::make_unique<vt::EdServerClient>();
    }
    static void TearDownTestSuite() {
        s_client.reset();
        if (s_shell) s_shell->CloseConsole();
        s_shell.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(s_client->Created()) << std::hex << s_client->CreateResult();
        ASSERT_TRUE(Journal().WaitFor("pInitAll"));
    }

    static vt::Journal& Journal() { return s_shell->EngineJournal(); }
    static vt::EdServerClient& Client() { return *s_client; }
    static std::size_t EngineCalls() {
        return Journal().Count("edsrvProcess") + Journal().Count("linktopicProcessClient");
    }

    // A right value of a parameter type.
    static Variant Good(VARTYPE type) {
        switch (type) {
        case VT_I4: return Variant(1L);
        case VT_BOOL: return Variant::Bool(true);
        case VT_BSTR: return Variant(L"misuse");
        default: return Variant(L"any");
        }
    }
    static Variant Make(Bad bad) {
        Variant v;
        switch (bad) {
        case Bad::Text: return Variant(L"abc");
        case Bad::Object:
            V_VT(v.Get()) = VT_DISPATCH;
            V_DISPATCH(v.Get()) = Client().Dispatch();
            Client().Dispatch()->AddRef();  // the Variant releases it
            return v;
        case Bad::Unknown:
            V_VT(v.Get()) = VT_UNKNOWN;
            V_UNKNOWN(v.Get()) = Client().Dispatch();
            Client().Dispatch()->AddRef();
            return v;
        case Bad::Array: return Variant::Array();
        case Bad::Null: V_VT(v.Get()) = VT_NULL; return v;
        case Bad::Empty: return v;
        case Bad::Missing:
            V_VT(v.Get()) = VT_ERROR;
            V_ERROR(v.Get()) = DISP_E_PARAMNOTFOUND;
            return v;
        }
        return v;
    }

    struct Outcome {
        HRESULT hr;
        UINT argErr;
        std::size_t engineCalls;  // engine calls the Invoke made
    };
    static Outcome Invoke(DISPID id, WORD flags, std::vector<Variant*> args,
                          std::vector<DISPID> named = {}, REFIID riid = IID_NULL) {
        const std::size_t before = EngineCalls();
        Variant result;
        UINT argErr = 0xFFFF;
        const HRESULT hr = Client().Invoke(id, flags, std::move(args), result.Get(), &argErr,
                                           std::move(named), riid);
        return {hr, argErr, EngineCalls() - before};
    }
    // Invoke with `count` right arguments of the member's kinds (extra ones
    // are strings).
    static Outcome InvokeCount(const Member& m, WORD flags, std::size_t count) {
        std::vector<Variant> values;
        values.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            values.push_back(Good(i < m.params.size() ? m.params[i] : VARTYPE(VT_BSTR)));
        std::vector<Variant*> args;
        for (Variant& v : values) args.push_back(&v);
        return Invoke(m.id, flags, args);
    }

    static std::unique_ptr<vt::OleShell> s_shell;
    static std::unique_ptr<vt::EdServerClient> s_client;
};

std::unique_ptr<vt::OleShell> AutomationMisuse::s_shell;
std::unique_ptr<vt::EdServerClient> AutomationMisuse::s_client;

TEST_F(AutomationMisuse, TooFewAndTooManyArgumentsForEveryMember) {
    for (const Member& m : kMembers) {
        SCOPED_TRACE(m.name);
        if (m.property) {
            // A read takes none; a put takes exactly its value.
            for (std::size_t count : {1u, 2u, 9u}) {
                const Outcome get = InvokeCount(m, DISPATCH_PROPERTYGET, count);
                EXPECT_EQ(get.hr, DISP_E_BADPARAMCOUNT) << count << " arguments";
            }
            Variant a = Good(m.type), b = Good(m.type);
            const Outcome two = Invoke(m.id, DISPATCH_PROPERTYPUT, {&a, &b}, {DISPID_PROPERTYPUT});
            EXPECT_EQ(two.hr, DISP_E_BADPARAMCOUNT);
            continue;
        }
        const std::size_t n = m.params.size();
        std::vector<std::size_t> counts = {n + 1, n + 2, n + 16};
        if (n > 0) counts.insert(counts.end(), {0u, n - 1});
        for (std::size_t count : counts) {
            const Outcome o = InvokeCount(m, DISPATCH_METHOD, count);
            EXPECT_EQ(o.hr, DISP_E_BADPARAMCOUNT) << count << " arguments";
            EXPECT_EQ(o.engineCalls, 0u) << count << " arguments";
        }
    }
}

TEST_F(AutomationMisuse, WrongTypesAreMismatchesAndNeverReachTheEngine) {
    for (const Member& m : kMembers) {
        // A property's put has one parameter: its value.
        const std::vector<VARTYPE> params = m.property ? std::vector<VARTYPE>{m.type} : m.params;
        for (std::size_t position = 0; position < params.size(); ++position) {
            for (Bad bad : kBad) {
                SCOPED_TRACE(m.name + " argument " + std::to_string(position) +
                             ": " + Name(bad));
                std::vector<Variant> values;
                values.reserve(params.size());
                for (std::size_t i = 0; i < params.size(); ++i)
                    values.push_back(i == position ? Make(bad) : Good(params[i]));
                std::vector<Variant*> args;
                for (Variant& v : values) args.push_back(&v);
                const Outcome o =
                    m.property ? Invoke(m.id, DISPATCH_PROPERTYPUT, args, {DISPID_PROPERTYPUT})
                               : Invoke(m.id, DISPATCH_METHOD, args);
                const HRESULT expected = Expected(params[position], bad);
                if (expected == E_FAIL)
                    EXPECT_TRUE(FAILED(o.hr)) << std::hex << o.hr;
                else
                    EXPECT_EQ(o.hr, expected) << std::hex << o.hr;
                // Which argument was at fault (puArgErr) is not checked:
                // Windows names it, Wine's ITypeInfo::Invoke does not.
                if (FAILED(expected)) {
                    EXPECT_EQ(o.engineCalls, 0u);
                } else {
                    // A value that converts makes the call as a right one does.
                    const bool engineMember = m.id >= 3 && m.id <= 6;
                    EXPECT_EQ(o.engineCalls, engineMember ? 1u : 0u);
                }
            }
        }
    }
    // VT_EMPTY reached the engine as the empty string, in its place.
    EXPECT_TRUE(Journal().Contains("edsrvProcess 65535 0 \"\""));
    EXPECT_TRUE(
        Journal().Contains("linktopicProcessClientData 65535 \"misuse\" \"\" 0 \"misuse\""));
    EXPECT_TRUE(Journal().Contains("linktopicProcessClientRequest 65535 \"\" \"misuse\" 0"));
}

TEST_F(AutomationMisuse, ArgumentsByReferenceAreReadThroughAndLeftUnchanged) {
    BSTR text = ::SysAllocString(L"by reference");
    long number = 5;
    VARIANT inner;
    ::VariantInit(&inner);
    V_VT(&inner) = VT_BSTR;
    V_BSTR(&inner) = ::SysAllocString(L"through a variant");

    Variant textRef, numberRef, variantRef, wrongRef;
    V_VT(textRef.Get()) = VT_BSTR | VT_BYREF;
    V_BSTRREF(textRef.Get()) = &text;
    V_VT(numberRef.Get()) = VT_I4 | VT_BYREF;
    V_I4REF(numberRef.Get()) = &number;
    V_VT(variantRef.Get()) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(variantRef.Get()) = &inner;
    V_VT(wrongRef.Get()) = VT_BSTR | VT_BYREF;  // "by reference" is no number
    V_BSTRREF(wrongRef.Get()) = &text;

    EXPECT_EQ(Invoke(3, DISPATCH_METHOD, {&textRef}).hr, S_OK);
    EXPECT_EQ(Invoke(4, DISPATCH_METHOD, {&variantRef}).hr, S_OK);
    EXPECT_EQ(Invoke(6, DISPATCH_METHOD, {&textRef, &variantRef, &textRef}).hr, S_OK);
    EXPECT_EQ(Invoke(7, DISPATCH_METHOD, {&numberRef}).hr, S_OK);
    EXPECT_EQ(Invoke(9, DISPATCH_METHOD, {&variantRef}).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Invoke(1, DISPATCH_PROPERTYPUT, {&numberRef}, {DISPID_PROPERTYPUT}).hr, S_OK);
    const Outcome wrong = Invoke(7, DISPATCH_METHOD, {&wrongRef});
    EXPECT_EQ(wrong.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrong.argErr, 0u);

    EXPECT_TRUE(Journal().Contains("edsrvProcess 65535 0 \"by reference\""));
    EXPECT_TRUE(Journal().Contains("edsrvProcess 65535 0 \"through a variant\""));
    EXPECT_TRUE(Journal().Contains("linktopicProcessClientData 65535 \"by reference\" "
                                   "\"through a variant\" 0 \"by reference\""));
    // The members change nothing they were given by reference.
    EXPECT_STREQ(text, L"by reference");
    EXPECT_EQ(number, 5);
    EXPECT_EQ(V_VT(&inner), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&inner), L"through a variant");
    ::SysFreeString(text);
    ::VariantClear(&inner);
}

TEST_F(AutomationMisuse, NamedArgumentsOnlyForParametersTheMemberHas) {
    for (const Member& m : kMembers) {
        SCOPED_TRACE(m.name);
        if (m.property) {
            Variant value = Good(m.type), second = Good(m.type);
            // Another name for the value, or a second named argument beside it.
            EXPECT_TRUE(FAILED(Invoke(m.id, DISPATCH_PROPERTYPUT, {&value}, {0}).hr));
            EXPECT_EQ(Invoke(m.id, DISPATCH_PROPERTYPUT, {&second, &value},
                             {DISPID_PROPERTYPUT, 0})
                          .hr,
                      DISP_E_BADPARAMCOUNT);
            // A read with a named argument.
            EXPECT_EQ(Invoke(m.id, DISPATCH_PROPERTYGET, {&value}, {DISPID_PROPERTYPUT}).hr,
                      DISP_E_BADPARAMCOUNT);
            continue;
        }
        if (m.params.empty()) continue;
        std::vector<Variant> values;
        for (VARTYPE type : m.params) values.push_back(Good(type));
        std::vector<Variant*> args;
        for (Variant& v : values) args.push_back(&v);
        // The last argument named as a parameter the member lacks. (Named as
        // a put's value, Wine's Invoke gives it to the last parameter.)
        for (DISPID name : {DISPID(m.params.size()), DISPID(99), DISPID(-7)}) {
            const Outcome o = Invoke(m.id, DISPATCH_METHOD, args, {name});
            EXPECT_TRUE(FAILED(o.hr)) << name;
            EXPECT_EQ(o.engineCalls, 0u);
        }
    }
    // A parameter named by its position is a call like any other.
    Variant command(L"named command");
    const Outcome named = Invoke(3, DISPATCH_METHOD, {&command}, {0});
    EXPECT_EQ(named.hr, S_OK);
    EXPECT_EQ(named.engineCalls, 1u);
    EXPECT_TRUE(Journal().Contains("edsrvProcess 65535 0 \"named command\""));
}

TEST_F(AutomationMisuse, PutsWithoutTheirNamedArgumentAndPutsOfMethods) {
    for (const Member& m : kMembers) {
        SCOPED_TRACE(m.name);
        Variant value =
            Good(m.property ? m.type : m.params.empty() ? VARTYPE(VT_BSTR) : m.params[0]);
        if (m.property) {
            EXPECT_EQ(Invoke(m.id, DISPATCH_PROPERTYPUT, {&value}).hr, DISP_E_PARAMNOTFOUND);
        } else {
            const Outcome o = Invoke(m.id, DISPATCH_PROPERTYPUT, {&value}, {DISPID_PROPERTYPUT});
            EXPECT_EQ(o.hr, DISP_E_MEMBERNOTFOUND);
            EXPECT_EQ(o.engineCalls, 0u);
        }
    }
}

TEST_F(AutomationMisuse, MethodsReadAsPropertiesAndPropertiesCalledAsMethods) {
    for (const Member& m : kMembers) {
        SCOPED_TRACE(m.name);
        if (m.property) {
            // A read needs the get bit; clients that cannot tell send both.
            Variant result;
            EXPECT_EQ(Client().Invoke(m.id, DISPATCH_METHOD, {}, result.Get()),
                      DISP_E_MEMBERNOTFOUND);
            EXPECT_EQ(
                Client().Invoke(m.id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, result.Get()),
                S_OK);
            EXPECT_EQ(V_VT(result.Get()), m.type);
            continue;
        }
        // A method is called, never read.
        const Outcome o = InvokeCount(m, DISPATCH_PROPERTYGET, m.params.size());
        EXPECT_EQ(o.hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(o.engineCalls, 0u);
    }
}

TEST_F(AutomationMisuse, NoCallKindUnknownDispatchIdsAndAnotherInterface) {
    const DISPID unknownIds[] = {0,  -1, 11, 12, 1000, DISPID_NEWENUM, DISPID_EVALUATE,
                                 DISPID_PROPERTYPUT, 0x7FFFFFFF, static_cast<DISPID>(0x80000000)};
    for (DISPID id : unknownIds) {
        SCOPED_TRACE(id);
        Variant value(1L);
        EXPECT_EQ(Invoke(id, DISPATCH_METHOD, {}).hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYGET, {}).hr, DISP_E_MEMBERNOTFOUND);
        EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYPUT, {&value}, {DISPID_PROPERTYPUT}).hr,
                  DISP_E_MEMBERNOTFOUND);
    }
    for (const Member& m : kMembers) {
        SCOPED_TRACE(m.name);
        // wFlags without a call kind.
        for (WORD flags : {WORD(0), WORD(0x10), WORD(0x8000)}) {
            const Outcome o = InvokeCount(m, flags, m.params.size());
            EXPECT_EQ(o.hr, DISP_E_MEMBERNOTFOUND) << flags;
            EXPECT_EQ(o.engineCalls, 0u);
        }
        std::vector<Variant> values;
        for (VARTYPE type : m.params) values.push_back(Good(type));
        std::vector<Variant*> args;
        for (Variant& v : values) args.push_back(&v);
        EXPECT_EQ(Invoke(m.id, DISPATCH_METHOD, args, {}, IID_IDispatch).hr,
                  DISP_E_UNKNOWNINTERFACE);
    }
}

TEST_F(AutomationMisuse, UnknownNamesAreUnknown) {
    const std::wstring longName(100000, L'E');
    const std::wstring names[] = {L"",          L"Exe",       L"Execute", L" Exec",
                                  L"Exec ",     L"NewCamera2", L"Ex\u00E9c", L"\u4E2D",
                                  L"CurCamera.", longName};
    for (const std::wstring& name : names) {
        SCOPED_TRACE(name.size() > 20 ? "100000 characters" : std::string(name.begin(), name.end()));
        LPOLESTR n[] = {const_cast<LPOLESTR>(name.c_str())};
        DISPID id = 0;
        EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_NULL, n, 1, 0, &id), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(id, DISPID_UNKNOWN);
    }
    // An unknown first name among several: every id unknown.
    LPOLESTR several[] = {const_cast<LPOLESTR>(L"Nope"), const_cast<LPOLESTR>(L"Exec"),
                          const_cast<LPOLESTR>(L"value")};
    DISPID ids[3] = {1, 1, 1};
    EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_NULL, several, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    DISPID id = 0;
    LPOLESTR exec[] = {const_cast<LPOLESTR>(L"Exec")};
    EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_IDispatch, exec, 1, 0, &id),
              DISP_E_UNKNOWNINTERFACE);
}

// Last: after every wrong call above the shell still serves, and the engine
// got only what the right calls sent.
TEST_F(AutomationMisuse, TheShellServesOnAfterTheWrongCalls) {
    Variant command(L"rec.journal after the misuse");
    EXPECT_EQ(Invoke(3, DISPATCH_METHOD, {&command}).engineCalls, 1u);
    EXPECT_TRUE(Journal().Contains("note after the misuse"));
    Variant count;
    EXPECT_EQ(Client().Invoke(8, DISPATCH_METHOD, {}, count.Get()), S_OK);
    EXPECT_EQ(V_I4(count.Get()), 0);
    EXPECT_EQ(Journal().Count("error "), 0u) << "the engine was called with something it refused";
    EXPECT_EQ(vt::ShellProcessIds(s_shell->Tree()).size(), 1u);
}

}  // namespace
