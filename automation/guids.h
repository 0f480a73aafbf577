// Identifiers of the automation server, its interfaces and the type library,
// with the C++ interfaces: all generated from Velmor.idl. Registration writes
// the class id and the ProgID.
#pragma once

#include <windows.h>

#include "VelmorInterfaces.h"

inline constexpr char kVelmorEdServerProgId[] = "Velmor.VelmorEdServer";
