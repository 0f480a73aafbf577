// The engine library's boundary: the six entry points of vmserver.dll and its
// exported platform record PLATFORM.
//
// Calling convention: every function here, and every routine stored in the
// record, uses C names (no decoration but the leading underscore of the 32-bit
// C convention) and __cdecl. An engine library built elsewhere must export
// exactly these names with this convention, and must lay out the record as
// below; the static_asserts hold the layout byte for byte in a 32-bit build.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#ifdef VMSERVER_BUILDING_ENGINE
#define VMSERVER_API __declspec(dllexport)
#else
#define VMSERVER_API __declspec(dllimport)
#endif

extern "C" {

// Routines the shell hands the engine through the record.
using PlatformLogFn = void(__cdecl*)(int category, const char* text);
using PlatformEnableLogFn = void(__cdecl*)(unsigned category, unsigned char flag);
using PlatformOpenLogFn = void(__cdecl*)(const char* name);  // null keeps LogFileName
using PlatformCloseLogFn = void(__cdecl*)();

constexpr int kLogCategoryCount = 32;
constexpr std::size_t kPlatformStringSize = 256;
constexpr std::size_t kPlatformRecordSize = 4096;

struct PlatformRecord {
    PlatformLogFn Log;
    PlatformEnableLogFn EnableLog;
    PlatformOpenLogFn OpenLog;
    PlatformCloseLogFn CloseLog;
    unsigned char LogEnabled[kLogCategoryCount];
    const char* const* LogNames;  // the shell's table of 32 category names
    FILE* LogFile;                // the shell's log stream, null while closed
    std::uint32_t EngineWords[4];
    unsigned char EngineBufferA[256];
    unsigned char EngineBufferB[256];
    std::uint32_t EngineWord;
    char CmdLine[kPlatformStringSize];
    char ExeName[kPlatformStringSize];
    char ExeName2[kPlatformStringSize];
    char LogFileName[kPlatformStringSize];
    unsigned char Unused[kPlatformRecordSize - 1612];
};

static_assert(sizeof(void*) == 4, "the platform record is laid out for a 32-bit process");
static_assert(offsetof(PlatformRecord, Log) == 0);
static_assert(offsetof(PlatformRecord, EnableLog) == 4);
static_assert(offsetof(PlatformRecord, OpenLog) == 8);
static_assert(offsetof(PlatformRecord, CloseLog) == 12);
static_assert(offsetof(PlatformRecord, LogEnabled) == 16);
static_assert(offsetof(PlatformRecord, LogNames) == 48);
static_assert(offsetof(PlatformRecord, LogFile) == 52);
static_assert(offsetof(PlatformRecord, EngineWords) == 56);
static_assert(offsetof(PlatformRecord, EngineBufferA) == 72);
static_assert(offsetof(PlatformRecord, EngineBufferB) == 328);
static_assert(offsetof(PlatformRecord, EngineWord) == 584);
static_assert(offsetof(PlatformRecord, CmdLine) == 588);
static_assert(offsetof(PlatformRecord, ExeName) == 844);
static_assert(offsetof(PlatformRecord, ExeName2) == 1100);
static_assert(offsetof(PlatformRecord, LogFileName) == 1356);
static_assert(offsetof(PlatformRecord, Unused) == 1612);
static_assert(sizeof(PlatformRecord) == kPlatformRecordSize);

VMSERVER_API extern PlatformRecord PLATFORM;

// First argument of edsrvProcess and of the two property calls; the shell
// always passes it, and 0 as the other fixed argument.
constexpr int kEngineChannel = 65535;

// Size of the reply buffer handed to linktopicProcessClientRequest; the engine
// leaves a NUL-terminated reply of at most kEngineReplySize - 1 characters.
constexpr std::size_t kEngineReplySize = 16384;

VMSERVER_API void __cdecl pInitAll(HINSTANCE instance);
VMSERVER_API void __cdecl pExitAll();
VMSERVER_API void __cdecl pServerTick();
VMSERVER_API void __cdecl edsrvProcess(int channel, int flags, const char* command);
VMSERVER_API void __cdecl linktopicProcessClientRequest(int channel, const char* first,
                                                        const char* second, int flags,
                                                        char* reply);
VMSERVER_API void __cdecl linktopicProcessClientData(int channel, const char* first,
                                                     const char* second, int flags,
                                                     const char* value);

}  // extern "C"
