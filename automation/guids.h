// Identifiers of the automation server, its interfaces and the type library.
// Velmor.idl carries the same values; registration writes the class id.
#pragma once

#include <windows.h>

// {30448ee9-f727-4c8f-9d1a-705902fe0cfd}
inline constexpr CLSID CLSID_VelmorEdServer = {
    0x30448ee9, 0xf727, 0x4c8f, {0x9d, 0x1a, 0x70, 0x59, 0x02, 0xfe, 0x0c, 0xfd}};
// {139960f3-f331-44c2-84f7-0ed56e192ac6}
inline constexpr IID IID_IVelmorEdServer = {
    0x139960f3, 0xf331, 0x44c2, {0x84, 0xf7, 0x0e, 0xd5, 0x6e, 0x19, 0x2a, 0xc6}};
// {00a6f906-9e78-4d50-a14f-33745cf25e43}
inline constexpr IID IID_IVelmorCamera = {
    0x00a6f906, 0x9e78, 0x4d50, {0xa1, 0x4f, 0x33, 0x74, 0x5c, 0xf2, 0x5e, 0x43}};
// {ce55ba18-4d75-4534-99cc-95963d91b558}
inline constexpr GUID LIBID_Velmor = {
    0xce55ba18, 0x4d75, 0x4534, {0x99, 0xcc, 0x95, 0x96, 0x3d, 0x91, 0xb5, 0x58}};

inline constexpr char kVelmorEdServerProgId[] = "Velmor.VelmorEdServer";
