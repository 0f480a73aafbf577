// The demo engine's state, one object for the life of the library.
#pragma once

#include "PropertyStore.h"
#include "TickClock.h"

namespace demo {

struct DemoEngine {
    TickClock clock;
    engines::PropertyStore properties;
};

DemoEngine& Engine();

}  // namespace demo
