// The type library that start-up registers and the dispatch maps that answer
// the calls describe the same interfaces, member by member.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "ComPtr.h"
#include "DispatchMap.h"
#include "OleString.h"
#include "WinePath.h"
#include "automation/VelmorEdServer.h"
#include "camera/VelmorCamera.h"

namespace {

// Every automation interface of the shell: its name in the type library and
// the dispatch map that serves it.
struct InterfaceUnderTest {
    const char* name;
    const fw::DispatchMap* map;
};

const InterfaceUnderTest kInterfaces[] = {
    {"IVelmorEdServer", &VelmorEdServer::dispatchMap},
    {"IVelmorCamera", &VelmorCamera::dispatchMap},
};

void PrintTo(const InterfaceUnderTest& i, std::ostream* os) { *os << i.name; }

std::string Narrow(BSTR s) { return fw::BstrToAnsi(s); }

std::string Narrow(const wchar_t* s) {
    char out[256] = {};
    ::WideCharToMultiByte(CP_ACP, 0, s, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

// The dispatch maps' spelling of a type-library type: long* is VT_I4|VT_BYREF,
// VARIANT_BOOL is VT_BOOL, IDispatch* is VT_DISPATCH, void is VT_EMPTY.
VARTYPE MapType(ITypeInfo* info, const TYPEDESC& t) {
    if (t.vt == VT_VOID || t.vt == VT_HRESULT) return VT_EMPTY;
    if (t.vt == VT_PTR) {
        const TYPEDESC& to = *t.lptdesc;
        if (to.vt == VT_USERDEFINED) {
            fw::ComPtr<ITypeInfo> ref;
            if (SUCCEEDED(info->GetRefTypeInfo(to.hreftype, ref.Put()))) {
                fw::OleString name;
                ref->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
                if (Narrow(name.Get()) == "IDispatch") return VT_DISPATCH;
            }
            return VT_ILLEGAL;
        }
        return static_cast<VARTYPE>(to.vt | VT_BYREF);
    }
    return t.vt;
}

class TypeLibraryAgreesWithMap : public ::testing::TestWithParam<InterfaceUnderTest> {};

TEST_P(TypeLibraryAgreesWithMap, MemberByMember) {
    const InterfaceUnderTest& iface = GetParam();
    const fw::DispatchMap& map = *iface.map;

    const fw::OleString path(fw::AnsiToBstr(vt::ToWindowsPath(VELMOR_TLB)));
    fw::ComPtr<ITypeLib> lib;
    ASSERT_EQ(::LoadTypeLib(path.Get(), lib.Put()), S_OK) << VELMOR_TLB;
    fw::ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(*map.iid, info.Put()), S_OK)
        << "the map's interface id is not in the type library";
    fw::OleString typeName;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, typeName.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(typeName.Get()), iface.name);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    const UINT funcs = attr->cFuncs;
    const UINT vars = attr->cVars;
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(funcs + vars, map.entries.size());

    // Every member of the type library is in the map at its dispid, alike.
    for (UINT i = 0; i < vars; ++i) {
        VARDESC* v = nullptr;
        ASSERT_EQ(info->GetVarDesc(i, &v), S_OK);
        fw::OleString name;
        UINT n = 0;
        info->GetNames(v->memid, name.Put(), 1, &n);
        SCOPED_TRACE(Narrow(name.Get()));
        ASSERT_GE(v->memid, 1);
        ASSERT_LE(static_cast<size_t>(v->memid), map.entries.size());
        const fw::DispatchEntry& e = map.entries[static_cast<size_t>(v->memid - 1)];
        EXPECT_EQ(Narrow(name.Get()), Narrow(e.name));
        EXPECT_EQ(e.member.kind, fw::DispKind::Property);
        EXPECT_EQ(v->varkind, VAR_DISPATCH);
        EXPECT_EQ(MapType(info.Get(), v->elemdescVar.tdesc), e.member.type);
        info->ReleaseVarDesc(v);
    }
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        fw::OleString name;
        UINT n = 0;
        info->GetNames(f->memid, name.Put(), 1, &n);
        SCOPED_TRACE(Narrow(name.Get()));
        ASSERT_GE(f->memid, 1);
        ASSERT_LE(static_cast<size_t>(f->memid), map.entries.size());
        const fw::DispatchEntry& e = map.entries[static_cast<size_t>(f->memid - 1)];
        EXPECT_EQ(Narrow(name.Get()), Narrow(e.name));
        EXPECT_EQ(e.member.kind, fw::DispKind::Method);
        EXPECT_EQ(f->invkind, INVOKE_FUNC);
        EXPECT_EQ(f->funckind, FUNC_DISPATCH);
        EXPECT_EQ(MapType(info.Get(), f->elemdescFunc.tdesc), e.member.type);
        ASSERT_EQ(static_cast<size_t>(f->cParams), e.member.params.size());
        for (SHORT p = 0; p < f->cParams; ++p)
            EXPECT_EQ(MapType(info.Get(), f->lprgelemdescParam[p].tdesc), e.member.params[p])
                << "parameter " << p;
        info->ReleaseFuncDesc(f);
    }
}

INSTANTIATE_TEST_SUITE_P(Velmor, TypeLibraryAgreesWithMap, ::testing::ValuesIn(kInterfaces),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
