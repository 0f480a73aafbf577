#include "Paths.h"

#include <windows.h>

namespace bench {

Paths Paths::FromDriver() {
    char module[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string path = n > 0 && n < sizeof module ? std::string(module, n) : std::string();
    const std::size_t slash = path.find_last_of("\\/");
    return Paths{slash == std::string::npos ? std::string(".") : path.substr(0, slash)};
}

}  // namespace bench
