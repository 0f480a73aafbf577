// The type library, as a file (System\Velmor.tlb, which start-up registers)
// and as the TYPELIB resource inside Velmor.exe: both describe the two
// interfaces exactly as their tables give them.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <wrl/client.h>

#include "OleString.h"
#include "TypeInfoWalk.h"
#include "WinePath.h"
#include "automation/guids.h"

using Microsoft::WRL::ComPtr;

namespace {

struct Source {
    const char* name;
    const char* path;
};

void PrintTo(const Source& s, std::ostream* os) { *os << s.name; }

const Source kSources[] = {
    {"File", VELMOR_TLB},
    {"ShellResource", VELMOR_SHELL_EXE},
};

class TypeLibrary : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        const fw::OleString path(fw::AnsiToBstr(vt::ToWindowsPath(GetParam().path)));
        ASSERT_EQ(::LoadTypeLibEx(path.Get(), REGKIND_NONE, &m_library), S_OK)
            << GetParam().path;
    }
    ComPtr<ITypeInfo> Info(REFGUID guid) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(m_library->GetTypeInfoOfGuid(guid, &info), S_OK);
        return info;
    }
    ComPtr<ITypeLib> m_library;
};

TEST_P(TypeLibrary, DescribesBothInterfacesMemberByMember) {
    vt::ExpectMembers(Info(IID_IVelmorEdServer).Get(), vt::EdServerMembers());
    vt::ExpectMembers(Info(IID_IVelmorCamera).Get(), vt::CameraMembers());
}

TEST_P(TypeLibrary, NamesTheServerClassWithItsDefaultInterface) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(m_library->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_Velmor));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    m_library->ReleaseTLibAttr(attr);

    ComPtr<ITypeInfo> coclass = Info(CLSID_VelmorEdServer);
    ASSERT_TRUE(coclass);
    fw::OleString name;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(fw::BstrToAnsi(name.Get()), "VelmorEdServer");
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
    ComPtr<ITypeInfo> server;
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, &server), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(server->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(IsEqualGUID(type->guid, IID_IVelmorEdServer));
    server->ReleaseTypeAttr(type);
}

INSTANTIATE_TEST_SUITE_P(Velmor, TypeLibrary, ::testing::ValuesIn(kSources),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
