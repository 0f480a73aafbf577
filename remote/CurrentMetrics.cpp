// The figures as the endpoint serves them; apart from MetricsText.cpp, which
// depends on its arguments alone.
#include "MetricsText.h"
#include "log/Log.h"

namespace remote {

std::string CurrentMetrics() {
    return RenderMetrics(stats::TakeSnapshot(), g_logNames, stats::BuildVersion(), stats::BuildArchitecture());
}

}  // namespace remote
