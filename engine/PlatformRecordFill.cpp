#include "PlatformRecordFill.h"

#include <cstring>


namespace {

// Copies at most size - 1 characters and terminates: longer strings are cut.
void CopyField(char (&field)[kPlatformStringSize], const char* text) {
    std::strncpy(field, text ? text : "", kPlatformStringSize - 1);
    field[kPlatformStringSize - 1] = '\0';
}

}  // namespace

void FillPlatformRecord(const PlatformLogRoutines& log, const char* cmdLine, const char* exeName) {
    PlatformRecord& r = PLATFORM;
    std::memset(&r, 0, sizeof r);
    r.Log = log.log;
    r.EnableLog = log.enableLog;
    r.OpenLog = log.openLog;
    r.CloseLog = log.closeLog;
    std::memset(r.LogEnabled, 1, sizeof r.LogEnabled);  // every category on
    r.LogNames = log.names;
    r.LogFile = nullptr;
    std::memset(r.EngineWords, 0, sizeof r.EngineWords);
    std::memset(r.EngineBufferA, 0, sizeof r.EngineBufferA);
    std::memset(r.EngineBufferB, 0, sizeof r.EngineBufferB);
    CopyField(r.CmdLine, cmdLine);
    CopyField(r.ExeName, exeName);
    CopyField(r.ExeName2, exeName);
    CopyField(r.LogFileName, log.fileName);
    r.EngineWord = 0;
}
