#include "Paths.h"

#include <windows.h>

namespace bench {

namespace {

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

Paths Paths::FromDriver() {
    char module[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, module, sizeof module);
    Paths paths;
    paths.benchDir = Parent(n > 0 && n < sizeof module ? std::string(module, n) : std::string());
    const std::string build = Parent(paths.benchDir);
    paths.distSystem = build + "\\dist\\System";
    paths.recorderDll = build + "\\engines\\recorder\\vmserver.dll";
    return paths;
}

}  // namespace bench
