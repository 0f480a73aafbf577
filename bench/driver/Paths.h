// Where the bench finds what it runs and where it writes: all relative to the
// driver's own executable, build/bench/driver.exe, so a build tree works
// wherever it lies.
#pragma once

#include <string>

#include "Harness.h"

namespace bench {

struct Paths {
    std::string benchDir;     // build\bench: the floors, the results
    std::string distSystem;   // build\dist\System: the shell, its type library, velmorctl
    std::string recorderDll;  // build\engines\recorder\vmserver.dll

    static Paths FromDriver();
    std::string Floor(const char* name) const { return benchDir + "\\" + name + ".exe"; }
};

}  // namespace bench
