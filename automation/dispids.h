// Dispatch ids of the two automation interfaces, shared by Velmor.idl and the
// dispatch maps. A member's id is its position in its dispatch map, from 1.
#pragma once

// VelmorEdServer
#define VELMOR_DISPID_ED_CURCAMERA 1
#define VELMOR_DISPID_ED_FULLSCREEN 2
#define VELMOR_DISPID_ED_EXEC 3
#define VELMOR_DISPID_ED_SLOWEXEC 4
#define VELMOR_DISPID_ED_GETPROP 5
#define VELMOR_DISPID_ED_SETPROP 6
#define VELMOR_DISPID_ED_INIT 7
#define VELMOR_DISPID_ED_NUMCAMERAS 8
#define VELMOR_DISPID_ED_CAMERA 9
#define VELMOR_DISPID_ED_NEWCAMERA 10

// VelmorCamera
#define VELMOR_DISPID_CAM_DRAWMODE 1
#define VELMOR_DISPID_CAM_ONTOP 2
#define VELMOR_DISPID_CAM_SHOWMENU 3
#define VELMOR_DISPID_CAM_GETVIEWSIZE 4
#define VELMOR_DISPID_CAM_SETVIEWSIZE 5
#define VELMOR_DISPID_CAM_GETWINDOWSIZE 6
#define VELMOR_DISPID_CAM_SETWINDOWSIZE 7
