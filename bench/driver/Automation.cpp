#include "Automation.h"

#include "ChildProcess.h"
#include "EditorClient.h"

namespace bench {

namespace {

bool ServerBuilt(std::string& why) {
    if (FileExists(vt::VelmorctlPath())) return true;
    why = "no automation server in this build (no velmorctl.exe)";
    return false;
}

bool ClassFound(CLSID& clsid, std::string& why) {
    if (SUCCEEDED(ClassOfProgId(kEditorProgId, clsid))) return true;
    why = "the ProgID Velmor.VelmorEdServer is not registered";
    return false;
}

}  // namespace

bool AutomationReady(const ScratchTree& tree, CLSID& clsid, std::string& why) {
    if (!ServerBuilt(why)) return false;
    if (!vt::RegisterShell(tree, std::chrono::seconds(60))) {
        why = "the shell could not register";
        return false;
    }
    return ClassFound(clsid, why);
}

bool AutomationRegistered(CLSID& clsid, std::string& why) { return ServerBuilt(why) && ClassFound(clsid, why); }

}  // namespace bench
