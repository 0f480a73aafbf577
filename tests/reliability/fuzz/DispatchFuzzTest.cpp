// Randomized calls through a dispatch map: random dispatch ids, call kinds,
// argument counts, named arguments and VARIANTs of every kind (numbers at
// their boundaries, strings that look like numbers, objects, arrays, errors,
// references) against a small object. The answer must be the one the
// automation rules give, computed here with the system's own coercion, and
// no call may change what it was given except through a reference.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "DispatchMap.h"
#include "FuzzInputs.h"
#include "OleString.h"

namespace {

// {7a3c1d52-9e04-4b8f-a1c6-3f5d2e8b9c10}
constexpr IID IID_ITarget = {0x7a3c1d52, 0x9e04, 0x4b8f, {0xa1, 0xc6, 0x3f, 0x5d, 0x2e, 0x8b, 0x9c, 0x10}};

class Target final : public fw::DispatchObject {
public:
    long GetNumber() { return m_number; }
    void SetNumber(long value) { m_number = value; }
    fw::DispBool GetFlag() { return m_flag; }
    void SetFlag(fw::DispBool value) { m_flag = value; }
    // What arrived, as text: "<text>|<number>|<flag>".
    BSTR Take(const char* text, long number, fw::DispBool flag) {
        return fw::AnsiToBstr(std::string(text) + "|" + std::to_string(number) + "|" +
                              (flag ? "1" : "0"));
    }
    long Ref(long* value) { return ++*value; }
    long Any(VARIANT v) { return V_VT(&v); }
    void Fail() { throw std::runtime_error("the target fails"); }

    const fw::DispatchMap& GetDispatchMap() const override { return dispatchMap; }
    static const fw::DispatchMap dispatchMap;

private:
    long m_number = 0;
    BOOL m_flag = FALSE;
    static const fw::DispatchEntry dispatchEntries[];
};

const fw::DispatchEntry Target::dispatchEntries[] = {
    {L"Number", fw::DispProperty<&Target::GetNumber, &Target::SetNumber>},  // 1
    {L"Flag",   fw::DispProperty<&Target::GetFlag, &Target::SetFlag>},      // 2
    {L"Take",   fw::DispMethod<&Target::Take>},                             // 3
    {L"Ref",    fw::DispMethod<&Target::Ref>},                              // 4
    {L"Any",    fw::DispMethod<&Target::Any>},                              // 5
    {L"Fail",   fw::DispMethod<&Target::Fail>},                             // 6
};
const fw::DispatchMap Target::dispatchMap = {&IID_ITarget, L"Target", dispatchEntries};

const std::vector<std::string> kNumberTexts = {
    "0", "1", "-1", "12", " 12 ", "2147483647", "2147483648", "-2147483648", "-2147483649",
    "4294967296", "1e308", "1e309", "0x10", "&H10", "1,5", "1.5", "True", "False", "#TRUE#",
    "", " ", "abc", "%n%s", "\xE9", "12abc"};

// Owns the random VARIANTs of one call, references and what they point to.
class Arguments {
public:
    ~Arguments() {
        for (VARIANT& v : m_values) ::VariantClear(&v);
        for (VARIANT& v : m_inner) ::VariantClear(&v);
        for (BSTR s : m_strings) ::SysFreeString(s);
    }
    std::vector<VARIANT> m_values;  // rgvarg, last argument first
    std::vector<VARIANT> m_inner;   // targets of VT_VARIANT | VT_BYREF
    std::vector<long> m_longs;      // targets of VT_I4 | VT_BYREF
    std::vector<BSTR> m_strings;    // targets of VT_BSTR | VT_BYREF
};

// A random, well-formed VARIANT (never a reference unless `references`).
VARIANT RandomValue(fuzz::Random& random, Arguments& owner, Target* object, bool references) {
    VARIANT v;
    ::VariantInit(&v);
    const std::int64_t n = random.Pick(fuzz::BoundaryNumbers());
    switch (random.Below(references ? 19 : 16)) {
    case 0: break;  // VT_EMPTY
    case 1: V_VT(&v) = VT_NULL; break;
    case 2: V_VT(&v) = VT_I4; V_I4(&v) = static_cast<LONG>(n); break;
    case 3: V_VT(&v) = VT_I2; V_I2(&v) = static_cast<SHORT>(n); break;
    case 4: V_VT(&v) = VT_R8; V_R8(&v) = static_cast<double>(n) * (random.Chance(50) ? 1 : 0.5); break;
    case 5: V_VT(&v) = VT_I8; V_I8(&v) = n; break;
    case 6: V_VT(&v) = VT_UI4; V_UI4(&v) = static_cast<ULONG>(n); break;
    case 7: {
        std::string text = random.Chance(70) ? random.Pick(kNumberTexts)
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
        V_DISPATCH(&v) = random.Chance(50) ? nullptr : object->GetIDispatch(true);
        break;
    case 11:
        V_VT(&v) = VT_UNKNOWN;
        V_UNKNOWN(&v) = random.Chance(50) ? nullptr : object->GetIDispatch(true);
        break;
    case 12:
        V_VT(&v) = VT_ARRAY | VT_I4;
        V_ARRAY(&v) = ::SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(random.Below(4)));
        break;
    case 13: V_VT(&v) = VT_CY; V_CY(&v).int64 = n * 10000; break;
    case 14: V_VT(&v) = VT_DATE; V_DATE(&v) = static_cast<double>(n); break;
    case 15:
        // A type no conversion knows.
        V_VT(&v) = static_cast<VARTYPE>(random.Chance(50) ? 0x3F : 0x7FF);
        break;
    case 16:
        owner.m_longs.push_back(static_cast<long>(n));
        V_VT(&v) = VT_I4 | VT_BYREF;
        V_I4REF(&v) = &owner.m_longs.back();
        break;
    case 17:
        owner.m_strings.push_back(fw::AnsiToBstr(random.Pick(kNumberTexts)));
        V_VT(&v) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&v) = &owner.m_strings.back();
        break;
    default:
        owner.m_inner.push_back(RandomValue(random, owner, object, false));
        V_VT(&v) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&v) = &owner.m_inner.back();
        break;
    }
    return v;
}

// The coercion of one argument to a parameter type as the automation rules
// give it: S_OK with the value in `out` (which the caller clears), or the
// answer for the argument.
HRESULT Coerced(VARTYPE type, const VARIANT& in, VARIANT& out) {
    ::VariantInit(&out);
    // A missing argument is VT_ERROR with DISP_E_PARAMNOTFOUND, by value.
    if (V_VT(&in) == VT_ERROR && V_ERROR(&in) == DISP_E_PARAMNOTFOUND && type != VT_VARIANT)
        return DISP_E_PARAMNOTFOUND;
    VARIANT* source = const_cast<VARIANT*>(&in);  // read only
    if (type == VT_VARIANT) return SUCCEEDED(::VariantCopyInd(&out, source)) ? S_OK : DISP_E_TYPEMISMATCH;
    return SUCCEEDED(::VariantChangeType(&out, source, 0, type)) ? S_OK : DISP_E_TYPEMISMATCH;
}

std::string Narrow(BSTR s) { return fw::BstrToAnsi(s); }

// The shallow bytes of every argument: what the call may not change.
std::vector<std::string> Snapshot(const std::vector<VARIANT>& values) {
    std::vector<std::string> bytes;
    for (const VARIANT& v : values) bytes.emplace_back(reinterpret_cast<const char*>(&v), sizeof v);
    return bytes;
}

struct Expected {
    HRESULT hr = S_OK;
    UINT argErr = 0;
    bool checkArgErr = false;
    std::string takeResult;  // Take: the text its handler must build
    long anyType = -1;       // Any: the resolved type
};

Expected Answer(HRESULT hr) {
    Expected e;
    e.hr = hr;
    return e;
}

Expected Predict(DISPID id, WORD flags, const Arguments& args, UINT named,
                 const std::vector<DISPID>& namedIds) {
    Expected e;
    const UINT count = static_cast<UINT>(args.m_values.size());
    if (id < 1 || id > 6) return Answer(DISP_E_MEMBERNOTFOUND);
    const bool property = id <= 2;
    std::vector<VARTYPE> params;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!property) return Answer(DISP_E_MEMBERNOTFOUND);
        if (named == 0) return Answer(DISP_E_PARAMNOTFOUND);
        if (named != 1 || namedIds[0] != DISPID_PROPERTYPUT) return Answer(DISP_E_NONAMEDARGS);
        if (count != 1) return Answer(DISP_E_BADPARAMCOUNT);
        params = {id == 1 ? VARTYPE(VT_I4) : VARTYPE(VT_BOOL)};
    } else if (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) {
        if (named != 0) return Answer(DISP_E_NONAMEDARGS);
        if (property) {
            if (count != 0) return Answer(DISP_E_MEMBERNOTFOUND);
        } else {
            if (!(flags & DISPATCH_METHOD) && id == 6) return Answer(DISP_E_MEMBERNOTFOUND);
            static const std::vector<VARTYPE> kParams[] = {
                {VT_BSTR, VT_I4, VT_BOOL}, {VT_I4 | VT_BYREF}, {VT_VARIANT}, {}};
            params = kParams[id - 3];
            if (count != params.size()) return Answer(DISP_E_BADPARAMCOUNT);
        }
    } else {
        return Answer(DISP_E_MEMBERNOTFOUND);
    }
    // Arguments in declaration order, last first in rgvarg.
    std::vector<VARIANT> values(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
        const VARIANT& in = args.m_values[count - 1 - i];
        HRESULT hr = S_OK;
        if (params[i] == (VT_I4 | VT_BYREF)) {
            // The caller's long by reference, or a variant by reference to a
            // value that converts (but not to another reference or an array).
            const VARTYPE vt = V_VT(&in);
            if (vt == (VT_VARIANT | VT_BYREF)) {
                const VARIANT& inner = *V_VARIANTREF(&in);
                VARIANT tmp;
                ::VariantInit(&tmp);
                if (V_VT(&inner) & (VT_BYREF | VT_ARRAY))
                    hr = DISP_E_TYPEMISMATCH;
                else
                    hr = SUCCEEDED(::VariantChangeType(&tmp, const_cast<VARIANT*>(&inner), 0,
                                                       VT_I4))
                             ? S_OK
                             : DISP_E_TYPEMISMATCH;
                ::VariantClear(&tmp);
            } else if (vt == VT_ERROR && V_ERROR(&in) == DISP_E_PARAMNOTFOUND) {
                hr = DISP_E_PARAMNOTFOUND;
            } else if (vt != (VT_I4 | VT_BYREF)) {
                hr = DISP_E_TYPEMISMATCH;
            }
            ::VariantInit(&values[i]);
        } else {
            hr = Coerced(params[i], in, values[i]);
        }
        if (FAILED(hr)) {
            for (VARIANT& v : values) ::VariantClear(&v);
            e.hr = hr;
            e.argErr = count - 1 - static_cast<UINT>(i);
            e.checkArgErr = true;
            return e;
        }
    }
    if (id == 3 && !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
        e.takeResult = Narrow(V_BSTR(&values[0])).c_str();  // the handler sees up to a NUL
        e.takeResult += "|" + std::to_string(V_I4(&values[1])) + "|" +
                        (V_BOOL(&values[2]) != VARIANT_FALSE ? "1" : "0");
    }
    if (id == 5) e.anyType = V_VT(&values[0]);
    if (id == 6) e.hr = DISP_E_EXCEPTION;
    for (VARIANT& v : values) ::VariantClear(&v);
    return e;
}

TEST(FuzzDispatch, RandomCallsGetTheAnswersOfTheAutomationRules) {
    fuzz::Random random(fuzz::Seed() ^ 0x444953);
    Target* target = new Target;
    target->AddRef();
    IDispatch* dispatch = target->GetIDispatch(false);
    const WORD kFlags[] = {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT,
                           DISPATCH_METHOD | DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUTREF, 0};

    std::size_t calls = 0, succeeded = 0;
    for (fuzz::Deadline deadline(0.4); !deadline.Passed(); ++calls) {
        const DISPID id = random.Chance(90) ? static_cast<DISPID>(random.Below(8))
                                            : static_cast<DISPID>(fuzz::BoundaryInt(random));
        const WORD flags = random.Chance(90) ? kFlags[random.Below(std::size(kFlags))]
                                             : static_cast<WORD>(random.Next());
        Arguments args;
        // Mostly the member's own number of arguments, so that coercion runs.
        static const UINT kCounts[] = {0, 0, 0, 3, 1, 1, 0, 0};
        const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        const UINT natural = id >= 1 && id <= 2 ? (put ? 1 : 0) : kCounts[id >= 0 && id < 8 ? id : 0];
        const UINT count = static_cast<UINT>(random.Chance(60)   ? natural
                                             : random.Chance(80) ? random.Below(4)
                                                                 : random.Below(12));
        args.m_values.reserve(count);
        args.m_inner.reserve(count);
        args.m_longs.reserve(count);
        args.m_strings.reserve(count);
        for (UINT i = 0; i < count; ++i) args.m_values.push_back(RandomValue(random, args, target, true));
        UINT named = 0;
        std::vector<DISPID> namedIds;
        if (put && count == 1 && random.Chance(80)) {
            named = 1;
            namedIds.push_back(DISPID_PROPERTYPUT);
        } else if (count && random.Chance(20)) {
            named = static_cast<UINT>(1 + random.Below(count));
            for (UINT i = 0; i < named; ++i)
                namedIds.push_back(random.Chance(60) ? DISPID_PROPERTYPUT
                                                     : static_cast<DISPID>(random.Below(4)));
        }
        const Expected expected = Predict(id, flags, args, named, namedIds);
        const std::vector<std::string> before = Snapshot(args.m_values);
        std::vector<long> longsBefore = args.m_longs;
        std::vector<VARIANT> innerBefore = args.m_inner;  // shallow: compared, never cleared

        DISPPARAMS params{args.m_values.data(), namedIds.data(), count, named};
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO info{};
        UINT argErr = 0xBAD;
        const bool wantResult = random.Chance(80);
        const HRESULT hr = dispatch->Invoke(id, random.Chance(97) ? IID_NULL : IID_IDispatch,
                                            LOCALE_USER_DEFAULT, flags, &params,
                                            wantResult ? &result : nullptr,
                                            random.Chance(50) ? &info : nullptr, &argErr);
        std::string fault;
        if (hr == DISP_E_UNKNOWNINTERFACE) {
            // Another interface was asked for: nothing else is checked.
        } else if (hr != expected.hr) {
            fault = "answer " + std::to_string(hr) + " not " + std::to_string(expected.hr);
        } else if (expected.checkArgErr && argErr != expected.argErr) {
            fault = "argument " + std::to_string(argErr) + " not " + std::to_string(expected.argErr);
        } else if (SUCCEEDED(hr) && wantResult && id == 3 && !expected.takeResult.empty() &&
                   (V_VT(&result) != VT_BSTR || Narrow(V_BSTR(&result)) != expected.takeResult)) {
            fault = "Take got other values than the coercion gives";
        } else if (SUCCEEDED(hr) && wantResult && id == 5 &&
                   (V_VT(&result) != VT_I4 || V_I4(&result) != expected.anyType)) {
            fault = "Any got another type";
        } else if (FAILED(hr) && V_VT(&result) != VT_EMPTY) {
            fault = "a failed call left a result";
        }
        // What was given by value is unchanged; only Ref writes through references.
        if (fault.empty() && Snapshot(args.m_values) != before) fault = "an argument was changed";
        if (fault.empty() && !(SUCCEEDED(hr) && id == 4)) {
            if (args.m_longs != longsBefore) fault = "a long was written through its reference";
            for (std::size_t i = 0; fault.empty() && i < args.m_inner.size(); ++i)
                if (std::memcmp(&args.m_inner[i], &innerBefore[i], sizeof(VARIANT)) != 0)
                    fault = "a variant was written through its reference";
        }
        ::VariantClear(&result);
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
        if (SUCCEEDED(hr)) ++succeeded;
        if (!fault.empty()) {
            ADD_FAILURE() << "call " << calls << ": dispid " << id << ", flags " << flags << ", "
                          << count << " arguments, " << named << " named: " << fault;
            break;
        }
    }
    target->Release();
    std::printf("Invoke: %zu calls, %zu succeeded\n", calls, succeeded);
    EXPECT_GT(succeeded, 0u);
}

}  // namespace
