// The camera's automation interface: seven members in dispatch-map order.
// OnTop and SetViewSize are the camera's own operations (VelmorCamera.cpp);
// the others answer with fixed values and change nothing.
#include "VelmorCamera.h"
#include "automation/dispids.h"
#include "automation/guids.h"

const fw::DispatchEntry VelmorCamera::dispatchEntries[] = {
    {L"DrawMode", fw::DispProperty<&VelmorCamera::GetDrawMode, &VelmorCamera::SetDrawMode>},
    {L"OnTop", fw::DispProperty<&VelmorCamera::GetOnTop, &VelmorCamera::SetOnTop>},
    {L"ShowMenu", fw::DispProperty<&VelmorCamera::GetShowMenu, &VelmorCamera::SetShowMenu>},
    {L"GetViewSize", fw::DispMethod<&VelmorCamera::GetViewSize>},
    {L"SetViewSize", fw::DispMethod<&VelmorCamera::SetViewSize>},
    {L"GetWindowSize", fw::DispMethod<&VelmorCamera::GetWindowSize>},
    {L"SetWindowSize", fw::DispMethod<&VelmorCamera::SetWindowSize>},
};

static_assert(VELMOR_DISPID_CAM_DRAWMODE == 1 && VELMOR_DISPID_CAM_ONTOP == 2 &&
                  VELMOR_DISPID_CAM_SHOWMENU == 3 && VELMOR_DISPID_CAM_GETVIEWSIZE == 4 &&
                  VELMOR_DISPID_CAM_SETVIEWSIZE == 5 && VELMOR_DISPID_CAM_GETWINDOWSIZE == 6 &&
                  VELMOR_DISPID_CAM_SETWINDOWSIZE == 7,
              "the type library's dispatch ids are the rows' positions above");

const fw::DispatchMap VelmorCamera::dispatchMap = {&IID_IVelmorCamera, L"Velmor.VelmorCamera",
                                                   dispatchEntries};

long VelmorCamera::GetDrawMode() { return 0; }

void VelmorCamera::SetDrawMode(long) {}

fw::DispBool VelmorCamera::GetShowMenu() { return TRUE; }

void VelmorCamera::SetShowMenu(fw::DispBool) {}  // the menu stays in the window

fw::DispBool VelmorCamera::GetViewSize(long*, long*) { return FALSE; }  // writes nothing

fw::DispBool VelmorCamera::GetWindowSize(long*, long*, long*, long*) {
    return TRUE;
}  // writes nothing

void VelmorCamera::SetWindowSize(long, long, long, long) {}
