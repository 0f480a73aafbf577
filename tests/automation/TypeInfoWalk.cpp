#include "TypeInfoWalk.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <wrl/client.h>

#include "OleString.h"

using Microsoft::WRL::ComPtr;

namespace vt {
namespace {

// A parameter or result type in the tables' spelling.
VARTYPE Spell(ITypeInfo* info, const TYPEDESC& t) {
    if (t.vt == VT_VOID || t.vt == VT_HRESULT) return VT_EMPTY;
    if (t.vt != VT_PTR) return t.vt;
    const TYPEDESC& to = *t.lptdesc;
    if (to.vt == VT_USERDEFINED) {
        ComPtr<ITypeInfo> ref;
        fw::OleString name;
        if (SUCCEEDED(info->GetRefTypeInfo(to.hreftype, &ref)))
            ref->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
        return fw::BstrToAnsi(name.Get()) == "IDispatch" ? VARTYPE(VT_DISPATCH) : VARTYPE(VT_ILLEGAL);
    }
    return static_cast<VARTYPE>(to.vt | VT_BYREF);
}

std::string Describe(const MemberRow& m) {
    std::string s = std::to_string(m.id) + " " + m.name + " kind " + std::to_string(m.kind) + " (";
    for (VARTYPE p : m.params) s += std::to_string(p) + " ";
    return s + ") -> " + std::to_string(m.result);
}

}  // namespace

std::vector<MemberRow> Property(MEMBERID id, const char* name, VARTYPE type) {
    return {{id, name, INVOKE_PROPERTYGET, {}, type},
            {id, name, INVOKE_PROPERTYPUT, {type}, VT_EMPTY}};
}

void ExpectMembers(ITypeInfo* info, const std::vector<MemberRow>& expected) {
    ASSERT_NE(info, nullptr);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cVars, 0) << "properties are get and put functions";
    const UINT funcs = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    std::vector<MemberRow> found;
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        if (f->memid >= 0x60000000) {  // IUnknown's and IDispatch's own
            info->ReleaseFuncDesc(f);
            continue;
        }
        EXPECT_EQ(f->funckind, FUNC_DISPATCH);
        BSTR names[16] = {};
        UINT count = 0;
        EXPECT_EQ(info->GetNames(f->memid, names, 16, &count), S_OK);
        MemberRow row{f->memid, fw::BstrToAnsi(names[0]), f->invkind, {},
                      Spell(info, f->elemdescFunc.tdesc)};
        for (UINT n = 0; n < count; ++n) ::SysFreeString(names[n]);
        for (SHORT p = 0; p < f->cParams; ++p)
            row.params.push_back(Spell(info, f->lprgelemdescParam[p].tdesc));
        info->ReleaseFuncDesc(f);
        found.push_back(row);
    }
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(Describe(found[i]), Describe(expected[i])) << "function " << i;
}

void ExpectTypeInfo(IDispatch* object, const std::vector<MemberRow>& expected) {
    UINT count = 0;
    ASSERT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    ExpectMembers(info.Get(), expected);
    ComPtr<ITypeInfo> none;
    EXPECT_EQ(object->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none), DISP_E_BADINDEX);
}

std::vector<MemberRow> EdServerMembers() {
    std::vector<MemberRow> rows = Property(1, "CurCamera", VT_I4);
    for (MemberRow& r : Property(2, "Fullscreen", VT_BOOL)) rows.push_back(r);
    const std::vector<MemberRow> methods = {
        {3, "Exec", INVOKE_FUNC, {VT_BSTR}, VT_EMPTY},
        {4, "SlowExec", INVOKE_FUNC, {VT_BSTR}, VT_EMPTY},
        {5, "GetProp", INVOKE_FUNC, {VT_BSTR, VT_BSTR}, VT_BSTR},
        {6, "SetProp", INVOKE_FUNC, {VT_BSTR, VT_BSTR, VT_BSTR}, VT_EMPTY},
        {7, "Init", INVOKE_FUNC, {VT_I4}, VT_EMPTY},
        {8, "NumCameras", INVOKE_FUNC, {}, VT_I4},
        {9, "Camera", INVOKE_FUNC, {VT_I4}, VT_DISPATCH},
        {10, "NewCamera", INVOKE_FUNC, std::vector<VARTYPE>(8, VT_VARIANT), VT_DISPATCH},
    };
    rows.insert(rows.end(), methods.begin(), methods.end());
    return rows;
}

std::vector<MemberRow> CameraMembers() {
    std::vector<MemberRow> rows = Property(1, "DrawMode", VT_I4);
    for (MemberRow& r : Property(2, "OnTop", VT_BOOL)) rows.push_back(r);
    for (MemberRow& r : Property(3, "ShowMenu", VT_BOOL)) rows.push_back(r);
    constexpr VARTYPE kLongRef = VT_I4 | VT_BYREF;
    const std::vector<MemberRow> methods = {
        {4, "GetViewSize", INVOKE_FUNC, {kLongRef, kLongRef}, VT_BOOL},
        {5, "SetViewSize", INVOKE_FUNC, {VT_I4, VT_I4, VT_BOOL}, VT_BOOL},
        {6, "GetWindowSize", INVOKE_FUNC, {kLongRef, kLongRef, kLongRef, kLongRef}, VT_BOOL},
        {7, "SetWindowSize", INVOKE_FUNC, {VT_I4, VT_I4, VT_I4, VT_I4}, VT_EMPTY},
    };
    rows.insert(rows.end(), methods.begin(), methods.end());
    return rows;
}

}  // namespace vt
