// The engine library's boundary: the six entry points of vmserver.dll and its
// exported platform record PLATFORM.
//
// Calling convention: every function here, and every routine stored in the
// record, uses C names (no decoration but the leading underscore of the 32-bit
// C convention) and __cdecl. An engine library built elsewhere must export
// exactly these names with this convention, and must lay out the record as
// kPlatformRecordLayout below gives for its architecture; the static_asserts
// hold each build to its table byte for byte.
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

}  // extern "C"

// Where each field of the record lies. An engine library built elsewhere must
// match the table of its own architecture: the 32-bit table for the Win32
// shell (the layout the closed engine library was built against), the
// 64-bit one for the Win64 shell. Both keep the field order and put each
// field at its natural alignment (pointers 4 or 8 bytes, words 4); the
// record is 4096 bytes in both, and the bytes from Unused to the end are 0.
struct PlatformRecordLayout {
    std::size_t Log, EnableLog, OpenLog, CloseLog, LogEnabled, LogNames, LogFile, EngineWords,
        EngineBufferA, EngineBufferB, EngineWord, CmdLine, ExeName, ExeName2, LogFileName, Unused;
};

inline constexpr PlatformRecordLayout kPlatformRecordLayout32 = {
    0, 4, 8, 12, 16, 48, 52, 56, 72, 328, 584, 588, 844, 1100, 1356, 1612};
inline constexpr PlatformRecordLayout kPlatformRecordLayout64 = {
    0, 8, 16, 24, 32, 64, 72, 80, 96, 352, 608, 612, 868, 1124, 1380, 1636};

// The table of this build's architecture.
#if defined(_WIN64)
inline constexpr PlatformRecordLayout kPlatformRecordLayout = kPlatformRecordLayout64;
#else
inline constexpr PlatformRecordLayout kPlatformRecordLayout = kPlatformRecordLayout32;
#endif

extern "C" {

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
    unsigned char Unused[kPlatformRecordSize - kPlatformRecordLayout.Unused];
};

static_assert(offsetof(PlatformRecord, Log) == kPlatformRecordLayout.Log);
static_assert(offsetof(PlatformRecord, EnableLog) == kPlatformRecordLayout.EnableLog);
static_assert(offsetof(PlatformRecord, OpenLog) == kPlatformRecordLayout.OpenLog);
static_assert(offsetof(PlatformRecord, CloseLog) == kPlatformRecordLayout.CloseLog);
static_assert(offsetof(PlatformRecord, LogEnabled) == kPlatformRecordLayout.LogEnabled);
static_assert(offsetof(PlatformRecord, LogNames) == kPlatformRecordLayout.LogNames);
static_assert(offsetof(PlatformRecord, LogFile) == kPlatformRecordLayout.LogFile);
static_assert(offsetof(PlatformRecord, EngineWords) == kPlatformRecordLayout.EngineWords);
static_assert(offsetof(PlatformRecord, EngineBufferA) == kPlatformRecordLayout.EngineBufferA);
static_assert(offsetof(PlatformRecord, EngineBufferB) == kPlatformRecordLayout.EngineBufferB);
static_assert(offsetof(PlatformRecord, EngineWord) == kPlatformRecordLayout.EngineWord);
static_assert(offsetof(PlatformRecord, CmdLine) == kPlatformRecordLayout.CmdLine);
static_assert(offsetof(PlatformRecord, ExeName) == kPlatformRecordLayout.ExeName);
static_assert(offsetof(PlatformRecord, ExeName2) == kPlatformRecordLayout.ExeName2);
static_assert(offsetof(PlatformRecord, LogFileName) == kPlatformRecordLayout.LogFileName);
static_assert(offsetof(PlatformRecord, Unused) == kPlatformRecordLayout.Unused);
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
