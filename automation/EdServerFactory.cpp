// The editor automation server's class factory: one static object, linked
// into the program itself so that it is always there to be registered.
#include "OleObjectFactory.h"
#include "VelmorEdServer.h"
#include "automation/guids.h"

namespace {

// One running shell serves every creation request, each request making a new
// server object in it.
fw::OleObjectFactory edServerFactory(CLSID_VelmorEdServer,
                                     &fw::CreateAutomationObject<VelmorEdServer>,
                                     kVelmorEdServerProgId, "Velmor editor server");

}  // namespace
