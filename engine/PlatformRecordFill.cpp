#include "PlatformRecordFill.h"

#include <cstring>

#include "engine/vmserver.h"
#include "log/Log.h"

namespace {

// Copies at most size - 1 characters and terminates: longer strings are cut.
void CopyField(char (&field)[kPlatformStringSize], const char* text) {
    std::strncpy(field, text ? text : "", kPlatformStringSize - 1);
    field[kPlatformStringSize - 1] = '\0';
}

}  // namespace

void FillPlatformRecord(const char* cmdLine, const char* exeName) {
    PlatformRecord& r = PLATFORM;
    // 1.
    std::memset(&r, 0, sizeof r);
    // 2.
    r.Log = &Log;
    r.EnableLog = &EnableLog;
    r.OpenLog = &OpenLog;
    r.CloseLog = &CloseLog;
    // 3.
    std::memset(r.LogEnabled, 1, sizeof r.LogEnabled);
    // 4.
    r.LogNames = g_logNames;
    r.LogFile = nullptr;
    std::memset(r.EngineWords, 0, sizeof r.EngineWords);
    std::memset(r.EngineBufferA, 0, sizeof r.EngineBufferA);
    std::memset(r.EngineBufferB, 0, sizeof r.EngineBufferB);
    // 5.
    CopyField(r.CmdLine, cmdLine);
    CopyField(r.ExeName, exeName);
    CopyField(r.ExeName2, exeName);
    CopyField(r.LogFileName, kDefaultLogFileName);
    // 6.
    r.EngineWord = 0;
}
