// Where the bench finds the floor programs and writes its results: beside the
// driver's own executable, build/bench/driver.exe, so a build tree works
// wherever it lies. The shell and its start trees come from the harness.
#pragma once

#include <string>

namespace bench {

struct Paths {
    std::string benchDir;  // build\bench: the floors, the results

    static Paths FromDriver();
    std::string Floor(const char* name) const { return benchDir + "\\" + name + ".exe"; }
};

}  // namespace bench
