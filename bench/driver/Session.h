// The shell's long run: started for automation (-Embedding) so that this
// process can reach its editor server, it takes the small log burst and the
// timed editor calls, then the large burst and the rest of the calls, then
// the camera windows; its memory is read after start-up, after the first
// part (warm) and at the end. The floors of these figures run first, alone.
#pragma once

#include <functional>

#include "Options.h"
#include "Paths.h"
#include "ResultTable.h"

namespace bench {

// `checkpoint` is called when the figures so far are worth keeping.
void RunSessionFigures(const Paths& paths, const Options& options, ResultTable& table,
                       const std::function<void()>& checkpoint);

}  // namespace bench
