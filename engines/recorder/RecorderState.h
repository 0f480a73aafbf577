// What the recorder remembers between calls, one object for the life of the
// library.
#pragma once

#include "ElapsedClock.h"
#include "PropertyStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace recorder {

// How linktopicProcessClientRequest answers.
struct ReplyMode {
    bool fixed = false;  // false: the value from the property store
    int length = 0;      // with fixed: characters before the NUL; -1 fills the buffer, no NUL
    char fill = 'r';
};

struct RecorderState {
    std::uint64_t ticks = 0;
    ElapsedClock clock;  // started by the first call, restarted by pInitAll
    engines::PropertyStore properties;
    ReplyMode reply;
    // Control commands run inside every later pServerTick, pExitAll, pInitAll.
    std::vector<std::string> onTick;
    std::vector<std::string> onExit;
    std::vector<std::string> onInit;
};

RecorderState& State();

}  // namespace recorder
