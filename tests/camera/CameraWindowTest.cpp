// Camera windows of the real shell: opened from the console's menu, driven
// through their own menu as a user would, closed one by one, by the close box
// and all at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "ShellProcess.h"
#include "ShellWindows.h"
#include "res/resource.h"

namespace {

using vt::ScratchTree;
using vt::ShellProcess;


bool Checked(unsigned state) { return (state & MF_CHECKED) != 0; }

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

class Cameras : public testing::Test {
protected:
    Cameras()
        : tree(std::string("camera-") +
               testing::UnitTest::GetInstance()->current_test_info()->name()),
          shell(tree) {}
    void SetUp() override {
        ASSERT_NE(shell.Console(), nullptr);
        ASSERT_TRUE(shell.WaitEngineStarted());
    }
    void TearDown() override {
        EXPECT_TRUE(shell.Close());
        EXPECT_TRUE(shell.EngineJournal().Contains("pExitAll")) << "the close sequence did not run";
    }

    ScratchTree tree;
    ShellProcess shell;
};

TEST_F(Cameras, NewCameraIsAVisibleOwnedWindowWithItsMenu) {
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(vt::WindowText(camera), "Velmor Camera");
    const SIZE client = vt::ClientSize(camera);
    EXPECT_EQ(client.cx, 320);
    EXPECT_EQ(client.cy, 200);
    EXPECT_TRUE(::IsWindowVisible(camera));
    EXPECT_FALSE(vt::IsTopmost(camera));
    EXPECT_EQ(::GetWindow(camera, GW_OWNER), shell.Console());
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(camera, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
              static_cast<DWORD>(WS_OVERLAPPEDWINDOW));

    const std::vector<vt::MenuItem> menu = vt::MenuOf(vt::ReadMenus(shell), camera);
    std::vector<std::string> rows;
    for (const vt::MenuItem& item : menu)
        rows.push_back(item.popup + "|" + std::to_string(item.id) + "|" + item.text);
    const std::vector<std::string> expected = {
        "&File|32809|&Close camera",
        "&Properties|32804|&High detail",
        "&Properties|32805|&Medium",
        "&Properties|32806|&Low",
        "&Properties|0|",
        "&Properties|32807|Audio ",
        "&Properties|0|",
        "&Properties|32808|&Always on top",
        "&Size|32787|&320x200",
        "&Size|32798|&400x300",
        "&Size|32799|480x360",
        "&Size|32788|&640x480",
        "&Size|0|",
        "&Size|32800|Fullscreen 320x200",
        "&Size|32801|Fullscreen 320x240",
        "&Size|0|",
        "&Size|32802|DirectDraw 640x400",
        "&Size|32803|&DirectDraw 640x480",
        "&Help|32783|&About Velmor",
        "&Help|0|",
        "&Help|32782|&Help Topics",
        "&Help|32790|&Ordering Velmor",
        "&Help|32791|Order &Now",
        "&Help|0|",
        "&Help|32792|Pellam's &Web site",
    };
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(Checked(vt::ItemState(menu, camera, ID_CAMERA_HIGH_DETAIL)));
    EXPECT_FALSE(Checked(vt::ItemState(menu, camera, ID_CAMERA_ALWAYS_ON_TOP)));
}

TEST_F(Cameras, AlwaysOnTopTwiceTogglesTheBandAndTheCheckMark) {
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    const RECT before = vt::WindowRect(camera);

    vt::ChooseMenuItem(camera, ID_CAMERA_ALWAYS_ON_TOP);
    EXPECT_TRUE(vt::IsTopmost(camera));
    EXPECT_TRUE(Checked(vt::ItemState(vt::ReadMenus(shell), camera, ID_CAMERA_ALWAYS_ON_TOP)));
    EXPECT_FALSE(vt::IsTopmost(shell.Console())) << "only the camera is affected";

    vt::ChooseMenuItem(camera, ID_CAMERA_ALWAYS_ON_TOP);
    EXPECT_FALSE(vt::IsTopmost(camera));
    EXPECT_FALSE(Checked(vt::ItemState(vt::ReadMenus(shell), camera, ID_CAMERA_ALWAYS_ON_TOP)));
    EXPECT_TRUE(SameRect(before, vt::WindowRect(camera)));
    EXPECT_EQ(::GetWindow(camera, GW_OWNER), shell.Console()) << "the console still owns it";
}

TEST_F(Cameras, SizeOnATopmostCameraKeepsPositionAndBand) {
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    vt::ChooseMenuItem(camera, ID_CAMERA_ALWAYS_ON_TOP);
    ASSERT_TRUE(vt::IsTopmost(camera));
    const RECT before = vt::WindowRect(camera);

    vt::ChooseMenuItem(camera, 32788);  // "&640x480"
    const SIZE client = vt::ClientSize(camera);
    EXPECT_EQ(client.cx, 640);
    EXPECT_EQ(client.cy, 480);
    const RECT after = vt::WindowRect(camera);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_TRUE(vt::IsTopmost(camera));

    // A size on a camera that is not topmost leaves it out of the band.
    vt::ChooseMenuItem(camera, ID_CAMERA_ALWAYS_ON_TOP);
    vt::ChooseMenuItem(camera, 32798);  // "&400x300"
    EXPECT_FALSE(vt::IsTopmost(camera));
    EXPECT_EQ(vt::ClientSize(camera).cx, 400);
    EXPECT_EQ(vt::ClientSize(camera).cy, 300);
}

TEST_F(Cameras, EverySizeItemOnlyResizesTheWindow) {
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    DEVMODEA modeBefore{};
    modeBefore.dmSize = sizeof modeBefore;
    ASSERT_TRUE(::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &modeBefore));
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    const RECT start = vt::WindowRect(camera);

    struct Size {
        UINT id;
        LONG cx, cy;
    };
    for (const Size& size : {Size{32801, 320, 240}, Size{32803, 640, 480}, Size{32800, 320, 200},
                             Size{32802, 640, 400}, Size{32799, 480, 360}, Size{32798, 400, 300},
                             Size{32788, 640, 480}, Size{32787, 320, 200}}) {
        vt::ChooseMenuItem(camera, size.id);
        const SIZE client = vt::ClientSize(camera);
        EXPECT_EQ(client.cx, size.cx) << size.id;
        EXPECT_EQ(client.cy, size.cy) << size.id;
        const RECT now = vt::WindowRect(camera);
        EXPECT_EQ(now.left, start.left) << size.id;
        EXPECT_EQ(now.top, start.top) << size.id;
        EXPECT_FALSE(vt::IsTopmost(camera));
    }

    DEVMODEA modeAfter{};
    modeAfter.dmSize = sizeof modeAfter;
    ASSERT_TRUE(::EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &modeAfter));
    EXPECT_EQ(modeAfter.dmPelsWidth, modeBefore.dmPelsWidth);
    EXPECT_EQ(modeAfter.dmPelsHeight, modeBefore.dmPelsHeight);
    EXPECT_EQ(modeAfter.dmBitsPerPel, modeBefore.dmBitsPerPel);
    EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), screenWidth);
    EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), screenHeight);
    EXPECT_TRUE(SameRect(vt::WindowRect(camera), start)) << "back at 320x200, as created";
}

TEST_F(Cameras, DetailAudioAndEmptyHelpItemsChangeNothing) {
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    const std::vector<vt::MenuItem> before = vt::MenuOf(vt::ReadMenus(shell), camera);
    const RECT rect = vt::WindowRect(camera);

    for (UINT id : {ID_CAMERA_LOW_DETAIL, ID_CAMERA_MEDIUM_DETAIL, ID_CAMERA_HIGH_DETAIL, ID_CAMERA_AUDIO, ID_CAMERA_LOW_DETAIL, ID_HELP_ORDER_NOW, ID_HELP_WEB_SITE})
        vt::ChooseMenuItem(camera, id);

    const std::vector<vt::MenuItem> after = vt::MenuOf(vt::ReadMenus(shell), camera);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].state, before[i].state) << after[i].text;
    EXPECT_TRUE(Checked(vt::ItemState(after, camera, ID_CAMERA_HIGH_DETAIL)));
    EXPECT_FALSE(Checked(vt::ItemState(after, camera, ID_CAMERA_LOW_DETAIL)));
    EXPECT_TRUE(SameRect(rect, vt::WindowRect(camera)));
    EXPECT_FALSE(vt::IsTopmost(camera));
    EXPECT_EQ(vt::CameraWindows(shell).size(), 1u);
}

TEST_F(Cameras, CommandsTheCameraLacksGoNowhere) {
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    // The console's own commands, sent to the camera, reach neither the
    // console nor the application: no new camera, no close, no topmost
    // console, no log closed.
    for (UINT id : {ID_WINDOW_NEW_CAMERA, ID_WINDOW_CLOSE_ALL_CAMERAS, ID_WINDOW_ALWAYS_ON_TOP, ID_LOG_CLOSE})
        vt::ChooseMenuItem(camera, id);
    EXPECT_TRUE(::IsWindow(camera));
    EXPECT_EQ(vt::CameraWindows(shell).size(), 1u);
    EXPECT_FALSE(vt::IsTopmost(shell.Console()));
    const std::vector<vt::MenuItem> menus = vt::ReadMenus(shell);
    EXPECT_TRUE(vt::ItemState(menus, shell.Console(), 32779) & MF_GRAYED)
        << "the log is still open";
}

TEST_F(Cameras, ClosingTheConsoleTakesTheCamerasWithIt) {
    ASSERT_NE(vt::NewCamera(shell), nullptr);
    HWND closed = vt::NewCamera(shell);
    ASSERT_NE(closed, nullptr);
    ::SendMessageA(closed, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_NE(vt::NewCamera(shell), nullptr);
    // TearDown closes the shell: the cameras go with the console and the
    // close sequence runs to its end.
}

}  // namespace

namespace {

// A pixel of the screen as the window system shows it.
COLORREF ScreenPixel(POINT at) {
    HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, at.x, at.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

// Waits until the pixel at a client point of `window` has `colour`; returns
// the last colour read.
COLORREF WaitForPixel(HWND window, POINT client, COLORREF colour) {
    POINT at = client;
    ::ClientToScreen(window, &at);
    COLORREF seen = CLR_INVALID;
    for (int i = 0; i < 100 && seen != colour; ++i) {
        if (i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        seen = ScreenPixel(at);
    }
    return seen;
}

TEST_F(Cameras, PaintsItsClientAreaInOneColour) {
    constexpr COLORREF kCameraColour = RGB(128, 0, 63);
    HWND camera = vt::NewCamera(shell);
    ASSERT_NE(camera, nullptr);
    vt::ChooseMenuItem(camera, ID_CAMERA_ALWAYS_ON_TOP);  // nothing may cover it
    for (POINT p : {POINT{160, 100}, POINT{0, 0}, POINT{319, 199}})
        EXPECT_EQ(WaitForPixel(camera, p, kCameraColour), kCameraColour) << p.x << "," << p.y;
    // The menu bar above the client area is not the camera's colour: the
    // pixels read are the screen's.
    EXPECT_NE(WaitForPixel(camera, POINT{2, -3}, kCameraColour), kCameraColour);

    // A larger size exposes new parts of the client area, which the paint
    // handler fills too.
    vt::ChooseMenuItem(camera, 32788);  // "&640x480"
    for (POINT p : {POINT{600, 440}, POINT{639, 479}, POINT{400, 10}})
        EXPECT_EQ(WaitForPixel(camera, p, kCameraColour), kCameraColour) << p.x << "," << p.y;
}

}  // namespace
