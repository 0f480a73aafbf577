// A camera window: a top-level window owned by the console, painted in one
// solid colour, with its own menu (view sizes, always on top, close). Each
// camera is also an automation object (CameraDispatch.cpp).
//
// Who keeps a camera object alive, and it is freed when none is left:
//   - the camera list, from creation until "&Close camera" or "&Close All
//     Cameras" deletes the camera (Delete);
//   - automation references (AddRef/Release); the last one released destroys
//     the window if it still exists and leaves the camera listed, as the
//     close box does;
//   - a message of the camera's own window in progress: "&Close camera"
//     deletes the camera from inside its window procedure, so the free waits
//     until the outermost message has returned (fw::Window::DeleteWhenIdle).
// A camera whose window the window system destroyed (close box, console gone)
// stays in the list without a window until "&Close All Cameras" deletes it;
// every operation of a windowless camera is safe and does nothing visible.
#pragma once

#include <windows.h>

#include "AutomationObject.h"
#include "UniqueHandle.h"
#include "Window.h"
#include "automation/guids.h"

class VelmorCamera final : public fw::Window, public fw::AutomationObject<IVelmorCamera> {
public:
    // Makes a camera with its window and menu and appends it to the camera
    // list. When no window can be made, nothing is kept: the failure is
    // logged and the result is null. A menu that cannot be loaded leaves the
    // window without one (logged); the camera is kept.
    static VelmorCamera* Create();

    // Deletes the camera: its list entry, its menu and its window go at once;
    // the object itself once nothing holds it any more.
    void Delete();

    // The on-top state, shared by "&Always on top" and automation. Setting
    // stores the value unchanged (non-zero is on) and moves the window into
    // or out of the topmost band without moving or resizing it; the menu's
    // check mark is left alone. Reading gives 1 or 0.
    BOOL GetOnTop() const;
    void SetOnTop(BOOL value);

    // Resizes the window so that its client area, under a one-line menu bar,
    // is width x height; keeps its position; sets its z-order again from the
    // on-top flag. The full-screen flag has no effect.
    void ResizeView(long width, long height, BOOL fullScreen);

    // The check mark of "&Always on top" from the on-top flag.
    void UpdateOnTopCheck();

    // IVelmorCamera, in the interface's order (dispatch ids 1 to 7). OnTop
    // and SetViewSize are the operations above; the other members give fixed
    // answers and change nothing (CameraDispatch.cpp).
    HRESULT STDMETHODCALLTYPE get_DrawMode(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_DrawMode(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_OnTop(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_OnTop(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_ShowMenu(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_ShowMenu(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE GetViewSize(LONG* width, LONG* height,
                                          VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetViewSize(LONG width, LONG height, VARIANT_BOOL fullScreen,
                                          VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetWindowSize(LONG* left, LONG* top, LONG* right, LONG* bottom,
                                            VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetWindowSize(LONG left, LONG top, LONG right,
                                            LONG bottom) override;

protected:
    const fw::MessageMap* GetMessageMap() const override;
    void PostNcDestroy() override;
    void OnFinalRelease() override;

private:
    VelmorCamera();
    ~VelmorCamera() override = default;

    bool CreateCameraWindow();
    void RemoveFromCameraList();

    void OnPaint();
    void OnFileCloseCamera();
    void OnPropertiesHighDetail();
    void OnPropertiesMedium();
    void OnPropertiesLow();
    void OnPropertiesAlwaysOnTop();
    void OnSize320x200();
    void OnSize400x300();
    void OnSize480x360();
    void OnSize640x480();
    void OnSizeFullscreen320x200();
    void OnSizeFullscreen320x240();
    void OnSizeDirectDraw640x400();
    void OnSizeDirectDraw640x480();
    void OnHelpAbout();
    void OnHelpTopics();
    void OnHelpOrdering();
    void OnHelpOrderNow();
    void OnHelpWebSite();

    static const fw::MessageMapEntry messageEntries[];
    static const fw::MessageMap messageMap;

    // Members of the camera; no operation of the shell reads the first
    // twelve.
    int m_nFirst = 0;
    int m_anZeroed[7] = {};
    int m_anUnset[4];  // never set nor read
    BOOL m_bOnTop = 0;
    fw::UniqueMenu m_menu;  // menu 132 once attached

    // Bookkeeping of the camera's life (see the top of this file).
    bool m_bListed = false;  // owned by the camera list, not yet deleted
    bool m_bMenuOnWindow =
        false;                    // the window holds m_menu; the system destroys it with the window
};
