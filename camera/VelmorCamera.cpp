#include "VelmorCamera.h"

#include <new>

#include "CameraHost.h"
#include "GdiHandles.h"
#include "WinApp.h"
#include "log/Log.h"
#include "resource.h"

namespace {

// A solid brush, deleted with its holder.
class SolidBrush {
public:
    explicit SolidBrush(COLORREF colour) : m_hBrush(::CreateSolidBrush(colour)) {}
    ~SolidBrush() {
        if (m_hBrush) ::DeleteObject(m_hBrush);
    }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;

    HBRUSH Get() const { return m_hBrush; }

private:
    HBRUSH m_hBrush;
};

constexpr char kCameraTitle[] = "Velmor Camera";
constexpr LONG kInitialWidth = 320;  // client area of a new camera
constexpr LONG kInitialHeight = 200;
constexpr COLORREF kCameraColour = 0x003F0080;  // red 128, green 0, blue 63

CameraHost* Host() { return fw::WinApp::CurrentAs<CameraHost>(); }

// SetWindowPos into the topmost band or out of it. Wine leaves an owned
// window in the band when only topmost windows lie above its owner; then the
// move out of the band is made again with the owner taken off for the call.
void PlaceInBand(HWND window, BOOL topmost, int cx, int cy, UINT flags) {
    ::SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, cx, cy, flags);
    if (topmost || !(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST)) return;
    HWND owner = ::GetWindow(window, GW_OWNER);
    if (!owner) return;
    ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, 0);
    ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowLongPtrA(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

}  // namespace

const fw::MessageMapEntry VelmorCamera::messageEntries[] = {
    {WM_PAINT, 0, 0, fw::On<&VelmorCamera::OnPaint>},
    {WM_COMMAND, 0, ID_CAMERA_CLOSE, fw::On<&VelmorCamera::OnFileCloseCamera>},
    {WM_COMMAND, 0, ID_CAMERA_HIGH_DETAIL, fw::On<&VelmorCamera::OnPropertiesHighDetail>},
    {WM_COMMAND, 0, ID_CAMERA_MEDIUM_DETAIL, fw::On<&VelmorCamera::OnPropertiesMedium>},
    {WM_COMMAND, 0, ID_CAMERA_LOW_DETAIL, fw::On<&VelmorCamera::OnPropertiesLow>},
    // ID_CAMERA_AUDIO has no handler.
    {WM_COMMAND, 0, ID_CAMERA_ALWAYS_ON_TOP, fw::On<&VelmorCamera::OnPropertiesAlwaysOnTop>},
    {WM_COMMAND, 0, ID_SIZE_320X200, fw::On<&VelmorCamera::OnSize320x200>},
    {WM_COMMAND, 0, ID_SIZE_400X300, fw::On<&VelmorCamera::OnSize400x300>},
    {WM_COMMAND, 0, ID_SIZE_480X360, fw::On<&VelmorCamera::OnSize480x360>},
    {WM_COMMAND, 0, ID_SIZE_640X480, fw::On<&VelmorCamera::OnSize640x480>},
    {WM_COMMAND, 0, ID_SIZE_FULL_320X200, fw::On<&VelmorCamera::OnSizeFullscreen320x200>},
    {WM_COMMAND, 0, ID_SIZE_FULL_320X240, fw::On<&VelmorCamera::OnSizeFullscreen320x240>},
    {WM_COMMAND, 0, ID_SIZE_DDRAW_640X400, fw::On<&VelmorCamera::OnSizeDirectDraw640x400>},
    {WM_COMMAND, 0, ID_SIZE_DDRAW_640X480, fw::On<&VelmorCamera::OnSizeDirectDraw640x480>},
    {WM_COMMAND, 0, ID_HELP_ABOUT, fw::On<&VelmorCamera::OnHelpAbout>},
    {WM_COMMAND, 0, ID_HELP_TOPICS, fw::On<&VelmorCamera::OnHelpTopics>},
    {WM_COMMAND, 0, ID_HELP_ORDERING, fw::On<&VelmorCamera::OnHelpOrdering>},
    {WM_COMMAND, 0, ID_HELP_ORDER_NOW, fw::On<&VelmorCamera::OnHelpOrderNow>},
    {WM_COMMAND, 0, ID_HELP_WEB_SITE, fw::On<&VelmorCamera::OnHelpWebSite>},
};

// No base: a command the camera lacks goes nowhere else.
const fw::MessageMap VelmorCamera::messageMap = {nullptr, messageEntries};

const fw::MessageMap* VelmorCamera::GetMessageMap() const { return &messageMap; }

// Cameras take no application lock: open cameras do not count as live
// automation objects of the application.
VelmorCamera::VelmorCamera() : fw::AutomationObject<IVelmorCamera>(L"Velmor.VelmorCamera") {}

VelmorCamera* VelmorCamera::Create() {
    auto* camera = new (std::nothrow) VelmorCamera;
    if (!camera) return nullptr;  // no memory: nothing constructed
    if (!camera->CreateCameraWindow()) {
        Log(LogCategory::Critical, "Could not create a camera window");
        camera->DeleteWhenIdle();
        return nullptr;
    }
    return camera;
}

bool VelmorCamera::CreateCameraWindow() {
    CameraHost* host = Host();
    if (!host) return false;
    RECT rect{0, 0, kInitialWidth, kInitialHeight};
    ::AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, TRUE);
    CreateEx(0, host->CameraClassName(), kCameraTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
             CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top, host->CameraOwner(),
             nullptr);
    if (!m_hWnd) return false;

    m_menu.reset(
        ::LoadMenuA(fw::WinApp::Current()->m_hInstance, MAKEINTRESOURCEA(IDR_CAMERA_MENU)));
    m_bMenuOnWindow = m_menu && ::SetMenu(m_hWnd, m_menu.get());
    if (!m_bMenuOnWindow) Log(LogCategory::Critical, "Could not load the camera menu");

    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);

    host->Cameras().Add(this);
    m_bListed = true;

    m_nFirst = 0xFFFF;
    for (int& n : m_anZeroed) n = 0;
    m_bOnTop = 0;
    UpdateOnTopCheck();
    return true;
}

void VelmorCamera::Delete() {
    if (!m_bListed) return;  // already deleted; only automation still holds it
    // Held for the while: releasing it below tells whether automation
    // references are left, and the final release frees the object.
    AddRef();
    RemoveFromCameraList();
    if (m_bMenuOnWindow && m_hWnd) ::SetMenu(m_hWnd, nullptr);
    m_bMenuOnWindow = false;
    m_menu.reset();
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    m_bListed = false;
    Release();
}

void VelmorCamera::RemoveFromCameraList() {
    CameraHost* host = Host();
    if (!host) return;
    CameraList& cameras = host->Cameras();
    for (std::size_t i = cameras.GetSize(); i-- > 0;) {
        if (cameras.GetAt(i) == this) {
            cameras.RemoveAt(i);
            return;
        }
    }
}

void VelmorCamera::PostNcDestroy() {
    // The window system destroys the window's menu right after the window.
    if (m_bMenuOnWindow) static_cast<void>(m_menu.release());
    m_bMenuOnWindow = false;
}

void VelmorCamera::OnFinalRelease() {
    // The window base's final release: the window goes, the camera stays
    // listed like one closed by its close box.
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    if (!m_bListed) DeleteWhenIdle();
}

BOOL VelmorCamera::GetOnTop() const { return m_bOnTop ? TRUE : FALSE; }

void VelmorCamera::SetOnTop(BOOL value) {
    m_bOnTop = value;
    if (!m_hWnd) return;
    PlaceInBand(m_hWnd, m_bOnTop, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void VelmorCamera::ResizeView(long width, long height, BOOL) {
    if (!m_hWnd) return;
    RECT rect{0, 0, width, height};
    ::AdjustWindowRect(&rect, static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)), TRUE);  // always with a menu bar
    PlaceInBand(m_hWnd, m_bOnTop, rect.right - rect.left, rect.bottom - rect.top, SWP_NOMOVE);
}

void VelmorCamera::UpdateOnTopCheck() {
    if (!m_hWnd) return;
    if (HMENU menu = ::GetMenu(m_hWnd))  // borrowed: the window's menu
        ::CheckMenuItem(menu, ID_CAMERA_ALWAYS_ON_TOP,
                        MF_BYCOMMAND | (m_bOnTop ? MF_CHECKED : MF_UNCHECKED));
}

void VelmorCamera::OnPaint() {
    PaintDC dc(m_hWnd);
    SolidBrush brush(kCameraColour);
    if (dc.Get() && brush.Get()) ::FillRect(dc.Get(), &dc.UpdateRect(), brush.Get());
}

void VelmorCamera::OnFileCloseCamera() { Delete(); }

// The detail items are handled and do nothing; "&High detail" stays checked.
void VelmorCamera::OnPropertiesHighDetail() {}
void VelmorCamera::OnPropertiesMedium() {}
void VelmorCamera::OnPropertiesLow() {}

void VelmorCamera::OnPropertiesAlwaysOnTop() {
    SetOnTop(m_bOnTop ? FALSE : TRUE);
    UpdateOnTopCheck();
}

void VelmorCamera::OnSize320x200() { ResizeView(320, 200, FALSE); }
void VelmorCamera::OnSize400x300() { ResizeView(400, 300, FALSE); }
void VelmorCamera::OnSize480x360() { ResizeView(480, 360, FALSE); }
void VelmorCamera::OnSize640x480() { ResizeView(640, 480, FALSE); }
void VelmorCamera::OnSizeFullscreen320x200() { ResizeView(320, 200, TRUE); }
void VelmorCamera::OnSizeFullscreen320x240() { ResizeView(320, 240, TRUE); }
void VelmorCamera::OnSizeDirectDraw640x400() { ResizeView(640, 400, TRUE); }
void VelmorCamera::OnSizeDirectDraw640x480() { ResizeView(640, 480, TRUE); }

// The Help items run the console menu's own handlers.
void VelmorCamera::OnHelpAbout() {
    if (CameraHost* host = Host()) host->OnHelpAbout();
}
void VelmorCamera::OnHelpTopics() {
    if (CameraHost* host = Host()) host->OnHelpTopics();
}
void VelmorCamera::OnHelpOrdering() {
    if (CameraHost* host = Host()) host->OnHelpOrdering();
}
void VelmorCamera::OnHelpOrderNow() {
    if (CameraHost* host = Host()) host->OnHelpOrderNow();
}
void VelmorCamera::OnHelpWebSite() {
    if (CameraHost* host = Host()) host->OnHelpWebSite();
}
