// The camera object in this process: its automation interface called through
// IDispatch as a client would, its life between the camera list, its window
// and automation references, and its paint.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>
#include <wrl/client.h>

#include "TypeInfoWalk.h"
#include "app/VelmorApp.h"
#include "automation/guids.h"
#include "camera/VelmorCamera.h"
#include "res/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr COLORREF kCameraColour = RGB(128, 0, 63);

// Every heap of the process passes the system's own check; with Wine's heap
// checking on (see CMakeLists.txt) that includes writes into freed blocks.
bool HeapsAreSound() {
    HANDLE heaps[64];
    const DWORD count = ::GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i)
        if (!::HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

SIZE ClientSize(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

bool IsTopmost(HWND window) { return (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool OnTopChecked(HWND window) {
    return (::GetMenuState(::GetMenu(window), ID_CAMERA_ALWAYS_ON_TOP, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

VARIANT Long(long value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Bool(bool value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT LongRef(long* value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4 | VT_BYREF;
    V_I4REF(&v) = value;
    return v;
}

// A variant holding a new BSTR; the caller clears it.
VARIANT Text(const wchar_t* text) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = ::SysAllocString(text);
    return v;
}

// One automation call by name: arguments in declaration order, as a client
// writes them; the result is cleared by the caller.
struct Call {
    HRESULT hr = E_FAIL;
    VARIANT result{};
    UINT argErr = 0xFFFF;
};

Call Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args) {
    Call call;
    ::VariantInit(&call.result);
    DISPID id = DISPID_UNKNOWN;
    auto* nameText = const_cast<LPOLESTR>(name);
    call.hr = object->GetIDsOfNames(IID_NULL, &nameText, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(call.hr)) return call;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());  // rgvarg: last first
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &call.result,
                             nullptr, &call.argErr);
    for (VARIANT& v : args) ::VariantClear(&v);
    return call;
}

Call Get(IDispatch* object, const wchar_t* name) {
    return Invoke(object, name, DISPATCH_PROPERTYGET, {});
}
Call Put(IDispatch* object, const wchar_t* name, VARIANT value) {
    return Invoke(object, name, DISPATCH_PROPERTYPUT, {value});
}
Call Method(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args) {
    return Invoke(object, name, DISPATCH_METHOD, std::move(args));
}

class CameraObject : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(theApp.m_cameras.GetSize(), 0u); }
    void TearDown() override {
        theApp.OnWindowCloseAllCameras();
        EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
        Pump();
        EXPECT_TRUE(HeapsAreSound());
    }

    // "&New Camera": the camera that the list gained.
    static VelmorCamera* NewCamera() {
        const std::size_t before = theApp.m_cameras.GetSize();
        theApp.OnWindowNewCamera();
        if (theApp.m_cameras.GetSize() != before + 1) return nullptr;
        return theApp.m_cameras.GetAt(before);
    }

    static ComPtr<IDispatch> Dispatch(VelmorCamera* camera) {
        ComPtr<IDispatch> dispatch;
        camera->QueryInterface(IID_IVelmorCamera, &dispatch);
        return dispatch;
    }

    static void Choose(HWND window, UINT id) {
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
};

TEST_F(CameraObject, TypeInformationDescribesEveryMemberAndNamesResolve) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    ComPtr<IDispatch> dispatch = Dispatch(camera);
    ASSERT_TRUE(dispatch);

    // What discovering clients read: one type information, the interface's.
    vt::ExpectTypeInfo(dispatch.Get(), vt::CameraMembers());

    // Names in any case, at their positions; unknown names are refused.
    const wchar_t* names[] = {L"drawmode",    L"ONTOP",         L"ShowMenu",     L"getviewsize",
                              L"SetViewSize", L"GetWindowSize", L"setwindowsize"};
    for (DISPID i = 0; i < 7; ++i) {
        DISPID found = DISPID_UNKNOWN;
        auto* text = const_cast<LPOLESTR>(names[i]);
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &found), S_OK);
        EXPECT_EQ(found, i + 1);
    }
    DISPID found = 0;
    auto* unknown = const_cast<LPOLESTR>(L"Zoom");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &found),
              DISP_E_UNKNOWNNAME);

    ComPtr<IUnknown> server;
    EXPECT_EQ(camera->QueryInterface(IID_IVelmorEdServer, &server), E_NOINTERFACE);
    // A camera has no class of its own to describe.
    EXPECT_EQ(camera->QueryInterface(IID_IProvideClassInfo, &server), E_NOINTERFACE);
}

TEST_F(CameraObject, DrawModeAndShowMenuKeepTheirFixedAnswers) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    ComPtr<IDispatch> dispatch = Dispatch(camera);
    HMENU menu = ::GetMenu(camera->m_hWnd);
    ASSERT_NE(menu, nullptr);

    EXPECT_EQ(Put(dispatch.Get(), L"DrawMode", Long(5)).hr, S_OK);
    Call drawMode = Get(dispatch.Get(), L"DrawMode");
    ASSERT_EQ(drawMode.hr, S_OK);
    EXPECT_EQ(V_VT(&drawMode.result), VT_I4);
    EXPECT_EQ(V_I4(&drawMode.result), 0);

    EXPECT_EQ(Put(dispatch.Get(), L"ShowMenu", Bool(false)).hr, S_OK);
    EXPECT_EQ(::GetMenu(camera->m_hWnd), menu);
    Call showMenu = Get(dispatch.Get(), L"ShowMenu");
    ASSERT_EQ(showMenu.hr, S_OK);
    EXPECT_EQ(V_VT(&showMenu.result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&showMenu.result), VARIANT_TRUE);

    Call setWindowSize =
        Method(dispatch.Get(), L"SetWindowSize", {Long(1), Long(2), Long(900), Long(800)});
    EXPECT_EQ(setWindowSize.hr, S_OK);
    EXPECT_EQ(V_VT(&setWindowSize.result), VT_EMPTY);
    EXPECT_EQ(ClientSize(camera->m_hWnd).cx, 320);
    EXPECT_EQ(ClientSize(camera->m_hWnd).cy, 200);
}

TEST_F(CameraObject, GetViewSizeAndGetWindowSizeWriteNothing) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    ComPtr<IDispatch> dispatch = Dispatch(camera);

    long width = 11, height = 22;
    Call view = Method(dispatch.Get(), L"GetViewSize", {LongRef(&width), LongRef(&height)});
    ASSERT_EQ(view.hr, S_OK);
    EXPECT_EQ(V_VT(&view.result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&view.result), VARIANT_FALSE);
    EXPECT_EQ(width, 11);
    EXPECT_EQ(height, 22);

    // Variables as a script passes them: variants by reference.
    long left = 1, top = 2, right = 3;
    VARIANT bottomValue = Text(L"4");
    VARIANT bottom;
    ::VariantInit(&bottom);
    V_VT(&bottom) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&bottom) = &bottomValue;
    Call window = Method(dispatch.Get(), L"GetWindowSize",
                         {LongRef(&left), LongRef(&top), LongRef(&right), bottom});
    ASSERT_EQ(window.hr, S_OK);
    EXPECT_EQ(V_VT(&window.result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&window.result), VARIANT_TRUE);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(top, 2);
    EXPECT_EQ(right, 3);
    ASSERT_EQ(V_VT(&bottomValue), VT_BSTR) << "the script's variable was rewritten";
    EXPECT_EQ(std::wstring(V_BSTR(&bottomValue)), L"4");
    ::VariantClear(&bottomValue);
}

TEST_F(CameraObject, SetViewSizeResizesTheClientAreaAndAnswersFalse) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ComPtr<IDispatch> dispatch = Dispatch(camera);
    RECT before{};
    ::GetWindowRect(window, &before);

    Call call = Method(dispatch.Get(), L"SetViewSize", {Long(640), Long(480), Bool(true)});
    ASSERT_EQ(call.hr, S_OK);
    EXPECT_EQ(V_VT(&call.result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&call.result), VARIANT_FALSE);
    EXPECT_EQ(ClientSize(window).cx, 640);
    EXPECT_EQ(ClientSize(window).cy, 480);
    RECT after{};
    ::GetWindowRect(window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_FALSE(IsTopmost(window));

    // Values that convert are coerced: a width given as text.
    EXPECT_EQ(Method(dispatch.Get(), L"SetViewSize", {Text(L"400"), Long(300), Long(0)}).hr, S_OK);
    EXPECT_EQ(ClientSize(window).cx, 400);
    EXPECT_EQ(ClientSize(window).cy, 300);
}

TEST_F(CameraObject, OnTopPutLeavesTheCheckMarkAlone) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ComPtr<IDispatch> dispatch = Dispatch(camera);

    EXPECT_EQ(Put(dispatch.Get(), L"OnTop", Bool(true)).hr, S_OK);
    EXPECT_TRUE(IsTopmost(window));
    EXPECT_FALSE(OnTopChecked(window));
    Call onTop = Get(dispatch.Get(), L"OnTop");
    ASSERT_EQ(onTop.hr, S_OK);
    EXPECT_EQ(V_VT(&onTop.result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&onTop.result), VARIANT_TRUE);

    // A size keeps the band the flag names.
    Method(dispatch.Get(), L"SetViewSize", {Long(480), Long(360), Bool(false)});
    EXPECT_TRUE(IsTopmost(window));

    // The next "&Always on top" turns the flag off and clears the mark.
    Choose(window, ID_CAMERA_ALWAYS_ON_TOP);
    EXPECT_FALSE(IsTopmost(window));
    EXPECT_FALSE(OnTopChecked(window));
    EXPECT_EQ(static_cast<BOOL>(camera->GetOnTop()), FALSE);

    // Any non-zero value is on, and reads back as 1.
    camera->SetOnTop(7);
    EXPECT_TRUE(IsTopmost(window));
    EXPECT_EQ(static_cast<BOOL>(camera->GetOnTop()), 1);
    EXPECT_FALSE(OnTopChecked(window));
    EXPECT_EQ(Put(dispatch.Get(), L"OnTop", Long(0)).hr, S_OK);
    EXPECT_FALSE(IsTopmost(window));
}

TEST_F(CameraObject, WrongCountsAndTypesAreRefusedBeforeTheMemberRuns) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ComPtr<IDispatch> dispatch = Dispatch(camera);

    EXPECT_EQ(Method(dispatch.Get(), L"SetViewSize", {Long(640), Long(480)}).hr,
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(
        Method(dispatch.Get(), L"SetViewSize", {Long(640), Long(480), Bool(true), Long(1)}).hr,
        DISP_E_BADPARAMCOUNT);
    long width = 0;
    EXPECT_EQ(Method(dispatch.Get(), L"GetViewSize", {LongRef(&width)}).hr, DISP_E_BADPARAMCOUNT);

    // Which argument was at fault is OLE's to report (puArgErr): Windows
    // names it, Wine's ITypeInfo::Invoke does not, so it is not checked here.
    Call text = Method(dispatch.Get(), L"SetViewSize", {Text(L"wide"), Long(480), Bool(true)});
    EXPECT_EQ(text.hr, DISP_E_TYPEMISMATCH);
    Call onTop = Put(dispatch.Get(), L"OnTop", Text(L"sometimes"));
    EXPECT_EQ(onTop.hr, DISP_E_TYPEMISMATCH);

    EXPECT_EQ(ClientSize(window).cx, 320);
    EXPECT_EQ(ClientSize(window).cy, 200);
    EXPECT_FALSE(IsTopmost(window));
}

TEST_F(CameraObject, FinalReleaseDestroysTheWindowAndTheCameraStaysListed) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ComPtr<IDispatch> dispatch = Dispatch(camera);
    ASSERT_TRUE(dispatch);
    dispatch.Reset();

    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(camera->m_hWnd, nullptr);
    ASSERT_EQ(theApp.m_cameras.GetSize(), 1u);
    EXPECT_EQ(theApp.m_cameras.GetAt(0), camera);
    // Like a camera closed by its close box: safe to use, nothing to show.
    camera->ResizeView(640, 480, FALSE);
    camera->SetOnTop(TRUE);
    EXPECT_EQ(static_cast<BOOL>(camera->GetOnTop()), 1);
    camera->UpdateOnTopCheck();
    // TearDown's Close All Cameras deletes it.
}

TEST_F(CameraObject, ClosedByItsMenuWhileAClientHoldsIt) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ComPtr<IDispatch> dispatch = Dispatch(camera);

    Choose(window, ID_CAMERA_CLOSE);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);

    // The client's reference keeps the object alive and usable.
    EXPECT_EQ(Put(dispatch.Get(), L"OnTop", Bool(true)).hr, S_OK);
    Call onTop = Get(dispatch.Get(), L"OnTop");
    EXPECT_EQ(onTop.hr, S_OK);
    EXPECT_EQ(V_BOOL(&onTop.result), VARIANT_TRUE);
    Call size = Method(dispatch.Get(), L"SetViewSize", {Long(640), Long(480), Bool(false)});
    EXPECT_EQ(size.hr, S_OK);
    EXPECT_EQ(V_BOOL(&size.result), VARIANT_FALSE);
    dispatch.Reset();  // frees it; Close All Cameras no longer sees it
    theApp.OnWindowCloseAllCameras();
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
}

TEST_F(CameraObject, CloseCameraFreesTheObjectOnlyAfterItsOwnMessage) {
    ASSERT_TRUE(HeapsAreSound());
    for (int i = 0; i < 3; ++i) {
        VelmorCamera* camera = NewCamera();
        ASSERT_NE(camera, nullptr);
        Choose(camera->m_hWnd, ID_CAMERA_CLOSE);
    }
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
    EXPECT_TRUE(HeapsAreSound());
}

TEST_F(CameraObject, ThreeCamerasKeepTheirOrderWhenTheMiddleOneCloses) {
    VelmorCamera* first = NewCamera();
    VelmorCamera* second = NewCamera();
    VelmorCamera* third = NewCamera();
    ASSERT_TRUE(first && second && third);
    ASSERT_EQ(theApp.m_cameras.GetSize(), 3u);
    EXPECT_EQ(theApp.m_cameras.GetAt(0), first);
    EXPECT_EQ(theApp.m_cameras.GetAt(1), second);
    EXPECT_EQ(theApp.m_cameras.GetAt(2), third);
    HWND firstWindow = first->m_hWnd;
    HWND secondWindow = second->m_hWnd;
    HWND thirdWindow = third->m_hWnd;

    Choose(secondWindow, ID_CAMERA_CLOSE);
    EXPECT_FALSE(::IsWindow(secondWindow));
    ASSERT_EQ(theApp.m_cameras.GetSize(), 2u);
    EXPECT_EQ(theApp.m_cameras.GetAt(0), first);
    EXPECT_EQ(theApp.m_cameras.GetAt(1), third);

    theApp.OnWindowCloseAllCameras();
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
    EXPECT_FALSE(::IsWindow(firstWindow));
    EXPECT_FALSE(::IsWindow(thirdWindow));
    theApp.OnWindowCloseAllCameras();  // none open: nothing happens
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
    VelmorCamera* fourth = NewCamera();  // the list is empty again: a new one is the only one
    ASSERT_EQ(theApp.m_cameras.GetSize(), 1u);
    EXPECT_EQ(theApp.m_cameras.GetAt(0), fourth);
    theApp.OnWindowCloseAllCameras();
}

TEST_F(CameraObject, CloseBoxLeavesAWindowlessCameraThatStaysSafe) {
    VelmorCamera* camera = NewCamera();
    VelmorCamera* other = NewCamera();
    ASSERT_TRUE(camera && other);
    HWND window = camera->m_hWnd;
    ComPtr<IDispatch> dispatch = Dispatch(camera);

    ::SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(camera->m_hWnd, nullptr);
    ASSERT_EQ(theApp.m_cameras.GetSize(), 2u);
    EXPECT_EQ(theApp.m_cameras.GetAt(0), camera);

    EXPECT_EQ(Put(dispatch.Get(), L"OnTop", Bool(true)).hr, S_OK);
    Call size = Method(dispatch.Get(), L"SetViewSize", {Long(640), Long(480), Bool(false)});
    EXPECT_EQ(size.hr, S_OK);
    EXPECT_EQ(V_BOOL(&size.result), VARIANT_FALSE);
    dispatch.Reset();  // the final release has no window left to destroy
    ASSERT_EQ(theApp.m_cameras.GetSize(), 2u);

    theApp.OnWindowCloseAllCameras();
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
}

TEST_F(CameraObject, NoWindowMeansNoCamera) {
    const char* cameraClass = theApp.m_pszCameraClass;
    theApp.m_pszCameraClass = "Velmor:no such class";
    theApp.OnWindowNewCamera();
    theApp.m_pszCameraClass = cameraClass;
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
}

TEST_F(CameraObject, AMenuThatCannotBeLoadedLeavesAWorkingWindow) {
    const HINSTANCE resources = theApp.m_hInstance;
    theApp.m_hInstance = ::GetModuleHandleA("kernel32.dll");  // has no menu 132
    VelmorCamera* camera = NewCamera();
    theApp.m_hInstance = resources;
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(::GetMenu(window), nullptr);

    Choose(window, ID_CAMERA_ALWAYS_ON_TOP);
    EXPECT_TRUE(IsTopmost(window));
    Choose(window, ID_CAMERA_CLOSE);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(theApp.m_cameras.GetSize(), 0u);
}

TEST_F(CameraObject, PaintFillsExactlyTheUpdateRectangle) {
    VelmorCamera* camera = NewCamera();
    ASSERT_NE(camera, nullptr);
    HWND window = camera->m_hWnd;
    ::UpdateWindow(window);

    constexpr COLORREF kGreen = RGB(0, 255, 0);
    HDC dc = ::GetDC(window);  // the class's own DC
    HBRUSH green = ::CreateSolidBrush(kGreen);
    RECT client{};
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, green);
    ::DeleteObject(green);
    ::ValidateRect(window, nullptr);

    RECT part{40, 30, 120, 90};
    ::InvalidateRect(window, &part, FALSE);
    ::UpdateWindow(window);
    ::GdiFlush();

    EXPECT_EQ(::GetPixel(dc, 40, 30), kCameraColour);
    EXPECT_EQ(::GetPixel(dc, 80, 60), kCameraColour);
    EXPECT_EQ(::GetPixel(dc, 119, 89), kCameraColour);
    EXPECT_EQ(::GetPixel(dc, 39, 30), kGreen);
    EXPECT_EQ(::GetPixel(dc, 120, 89), kGreen);
    EXPECT_EQ(::GetPixel(dc, 119, 90), kGreen);
    EXPECT_EQ(::GetPixel(dc, 300, 180), kGreen);
    ::ReleaseDC(window, dc);
}

}  // namespace
