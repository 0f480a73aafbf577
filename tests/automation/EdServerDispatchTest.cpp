// The editor automation server in an OLE-started shell, called from this
// process with raw IDispatch calls: names, fixed answers, string conversion,
// and the answers to wrong calls, which never reach the engine.
#include <gtest/gtest.h>

#include <ocidl.h>

#include <memory>
#include <string>
#include <utility>

#include "EdServerClient.h"
#include "OleShell.h"
#include "TypeInfoWalk.h"
#include "automation/guids.h"

using Microsoft::WRL::ComPtr;

namespace {

using vt::Variant;

// Counts the visible camera windows of a process: `data` points to a pair of
// the process id and the count.
BOOL CALLBACK CountCameraWindows(HWND window, LPARAM data) {
    auto* found = reinterpret_cast<std::pair<DWORD, int>*>(data);
    DWORD owner = 0;
    char title[32] = {};
    ::GetWindowThreadProcessId(window, &owner);
    ::GetWindowTextA(window, title, sizeof title);
    if (owner == found->first && ::IsWindowVisible(window) && std::string(title) == "Velmor Camera") ++found->second;
    return TRUE;
}

class EdServerDispatch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_shell = std::make_unique<vt::OleShell>("ed-dispatch");
        vt::ClientDirectory directory(s_shell->Tree());
        s_client = std::make_unique<vt::EdServerClient>();
    }
    static void TearDownTestSuite() {
        s_client.reset();
        s_shell.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(s_client->Created()) << std::hex << s_client->CreateResult();
    }

    static size_t EngineCalls() {
        return Journal().Count("edsrvProcess") + Journal().Count("linktopicProcessClient");
    }
    static vt::Journal& Journal() { return s_shell->EngineJournal(); }
    static vt::EdServerClient& Client() { return *s_client; }

    static std::unique_ptr<vt::OleShell> s_shell;
    static std::unique_ptr<vt::EdServerClient> s_client;
};

std::unique_ptr<vt::OleShell> EdServerDispatch::s_shell;
std::unique_ptr<vt::EdServerClient> EdServerDispatch::s_client;

TEST_F(EdServerDispatch, NamesResolveToTheirPositionsInAnyCase) {
    const wchar_t* names[] = {L"curcamera", L"FULLSCREEN", L"Exec",     L"slowExec", L"GetProp",
                              L"setprop",   L"INIT",       L"NumCameras", L"camera", L"newcamera"};
    for (DISPID i = 0; i < 10; ++i) {
        LPOLESTR n[] = {const_cast<LPOLESTR>(names[i])};
        DISPID id = 0;
        EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_NULL, n, 1, 0, &id), S_OK);
        EXPECT_EQ(id, i + 1) << i;
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Quit")};
    DISPID id = 0;
    EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    // A parameter's name gives its position, for named arguments.
    LPOLESTR withParameter[] = {const_cast<LPOLESTR>(L"SetProp"), const_cast<LPOLESTR>(L"value")};
    DISPID ids[2] = {};
    EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_NULL, withParameter, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], vt::ed::kSetProp);
    EXPECT_EQ(ids[1], 2);
    withParameter[1] = const_cast<LPOLESTR>(L"colour");
    EXPECT_EQ(Client().Dispatch()->GetIDsOfNames(IID_NULL, withParameter, 2, 0, ids),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

// What a client that discovers members (PowerShell, .NET's dynamic) asks the
// server for, across the process boundary.
TEST_F(EdServerDispatch, TypeInformationDescribesTheServerAndItsClass) {
    IDispatch* server = Client().Dispatch();
    vt::ExpectTypeInfo(server, vt::EdServerMembers());

    ComPtr<IProvideClassInfo> classInfo;
    ASSERT_EQ(server->QueryInterface(IID_IProvideClassInfo, &classInfo), S_OK);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(&coclass), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_VelmorEdServer));
    coclass->ReleaseTypeAttr(attr);

    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(server->QueryInterface(IID_ISupportErrorInfo, &errors), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IVelmorEdServer), S_OK);
}

TEST_F(EdServerDispatch, WrongCallsAreAnsweredAndNeverReachTheEngine) {
    ASSERT_TRUE(Journal().WaitFor("pInitAll"));
    const size_t before = EngineCalls();
    Variant a(L"a"), b(L"b"), c(L"c"), word(L"abc"), array = Variant::Array(), one(1L);

    EXPECT_EQ(Client().Call(vt::ed::kExec, {}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Client().Call(vt::ed::kExec, {&a, &b}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Client().Call(vt::ed::kGetProp, {&a}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Client().Call(vt::ed::kNewCamera, {&a, &a, &a, &a, &a, &a, &a}),
              DISP_E_BADPARAMCOUNT);

    // Which argument was at fault (puArgErr) is OLE's to report: Windows
    // names it, Wine's ITypeInfo::Invoke does not, so it is not checked.
    EXPECT_EQ(Client().Call(vt::ed::kInit, {&word}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Client().Call(vt::ed::kSetProp, {&array, &b, &c}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Client().Call(vt::ed::kSetProp, {&a, &b, &array}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Client().Call(vt::ed::kExec, {&array}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Client().Put(vt::ed::kFullscreen, word), DISP_E_TYPEMISMATCH);

    EXPECT_EQ(Client().Call(11, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Client().Call(0, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Client().Put(vt::ed::kExec, a), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Client().Invoke(vt::ed::kCurCamera, DISPATCH_PROPERTYGET, {&one}),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Client().Invoke(vt::ed::kCurCamera, DISPATCH_PROPERTYPUT, {&one}),
              DISP_E_PARAMNOTFOUND);
    // A named argument for a parameter Exec lacks.
    EXPECT_TRUE(FAILED(Client().Invoke(vt::ed::kExec, DISPATCH_METHOD, {&a}, nullptr, nullptr, {1})));
    EXPECT_EQ(Client().Invoke(vt::ed::kExec, DISPATCH_METHOD, {&a}, nullptr, nullptr, {},
                              IID_IDispatch),
              DISP_E_UNKNOWNINTERFACE);

    // None of them reached the engine; a right call does, once.
    EXPECT_EQ(EngineCalls(), before);
    Variant command(L"after the wrong calls");
    EXPECT_EQ(Client().Call(vt::ed::kExec, {&command}), S_OK);
    EXPECT_EQ(EngineCalls(), before + 1);
    EXPECT_TRUE(Journal().Contains("edsrvProcess 65535 0 \"after the wrong calls\""));
}

TEST_F(EdServerDispatch, FixedAnswersKeepTheirValues) {
    Variant three(3L), no = Variant::Bool(false), result;
    EXPECT_EQ(Client().Put(vt::ed::kCurCamera, three), S_OK);
    EXPECT_EQ(Client().Invoke(vt::ed::kCurCamera, DISPATCH_PROPERTYGET, {}, result.Get()),
              S_OK);
    EXPECT_EQ(V_VT(result.Get()), VT_I4);
    EXPECT_EQ(V_I4(result.Get()), 0);

    EXPECT_EQ(Client().Put(vt::ed::kFullscreen, no), S_OK);
    Variant full;
    EXPECT_EQ(Client().Invoke(vt::ed::kFullscreen, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                              {}, full.Get()),
              S_OK);
    EXPECT_EQ(V_VT(full.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(full.Get()), VARIANT_TRUE);

    // No camera is ever counted or handed out, none open or two open (the
    // console's New Camera, then Close All Cameras).
    const auto expectNoCamera = [](const char* when) {
        Variant count, camera, zero(0L);
        EXPECT_EQ(Client().Call(vt::ed::kNumCameras, {}, count.Get()), S_OK) << when;
        EXPECT_EQ(V_VT(count.Get()), VT_I4) << when;
        EXPECT_EQ(V_I4(count.Get()), 0) << when;
        EXPECT_EQ(Client().Call(vt::ed::kCamera, {&zero}, camera.Get()), S_OK) << when;
        EXPECT_EQ(V_VT(camera.Get()), VT_DISPATCH) << when;
        EXPECT_EQ(V_DISPATCH(camera.Get()), nullptr) << when;
    };
    expectNoCamera("no camera open");
    constexpr UINT kNewCamera = 32784, kCloseAllCameras = 32789;
    HWND console = s_shell->Console();
    ASSERT_NE(console, nullptr);
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(kNewCamera, 0), 0);
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(kNewCamera, 0), 0);
    const DWORD shellId = s_shell->WaitShellPid();
    const auto cameras = [shellId] {
        std::pair<DWORD, int> seen{shellId, 0};
        ::EnumWindows(&CountCameraWindows, reinterpret_cast<LPARAM>(&seen));
        return seen.second;
    };
    const DWORD start = ::GetTickCount();
    while (cameras() < 2 && ::GetTickCount() - start < 20000) ::Sleep(20);
    ASSERT_EQ(cameras(), 2) << "the console did not open two cameras";
    expectNoCamera("two cameras open");
    ::PostMessageA(console, WM_COMMAND, MAKEWPARAM(kCloseAllCameras, 0), 0);
}

TEST_F(EdServerDispatch, StringsReachTheEngineAsAnsiText) {
    // Outside the code page becomes '?'; an embedded NUL ends the engine's
    // string; a null string is empty; a number is coerced to its text.
    Variant foreign(L"x\u4E2Dy"), withNul(L"p\0q", 3), null = Variant::NullString(), number(42L);
    EXPECT_EQ(Client().Call(vt::ed::kSetProp, {&foreign, &withNul, &null}), S_OK);
    EXPECT_EQ(Client().Call(vt::ed::kSetProp, {&number, &foreign, &foreign}), S_OK);
    EXPECT_TRUE(Journal().Contains("linktopicProcessClientData 65535 \"x?y\" \"p\" 0 \"\""));
    EXPECT_TRUE(Journal().Contains("linktopicProcessClientData 65535 \"42\" \"x?y\" 0 \"x?y\""));

    // The reply comes back as a new string; no result wanted is fine too.
    Variant result;
    EXPECT_EQ(Client().Call(vt::ed::kGetProp, {&number, &foreign}, result.Get()), S_OK);
    ASSERT_EQ(V_VT(result.Get()), VT_BSTR);
    EXPECT_STREQ(V_BSTR(result.Get()), L"x?y");
    const size_t requests = Journal().Count("linktopicProcessClientRequest");
    EXPECT_EQ(Client().Call(vt::ed::kGetProp, {&number, &foreign}), S_OK);
    EXPECT_EQ(Journal().Count("linktopicProcessClientRequest"), requests + 1);
}

}  // namespace
