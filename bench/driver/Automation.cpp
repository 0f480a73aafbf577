#include "Automation.h"

#include "EditorClient.h"
#include "StartTree.h"

namespace bench {

bool AutomationReady(const Paths& paths, const std::string& root, CLSID& clsid, std::string& why) {
    if (!FileExists(paths.distSystem + "\\velmorctl.exe")) {
        why = "no automation server in this build (no velmorctl.exe)";
        return false;
    }
    if (root.empty() || !RegisterShell(root)) {
        why = "the shell could not register";
        return false;
    }
    if (FAILED(ClassOfProgId(kEditorProgId, clsid))) {
        why = "the ProgID Velmor.VelmorEdServer is not registered";
        return false;
    }
    return true;
}

}  // namespace bench
