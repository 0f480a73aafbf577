// Identifiers of the bench's floor automation server, shared by the server and
// the bench driver.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {5b0f3f5e-8a61-4c3e-9d36-2a1c7e4b9f10}
inline constexpr CLSID CLSID_BenchFloorServer = {
    0x5b0f3f5e, 0x8a61, 0x4c3e, {0x9d, 0x36, 0x2a, 0x1c, 0x7e, 0x4b, 0x9f, 0x10}};

// The same server started with "-Echo" (EchoLog.h), registered under a class
// of its own so that it can run beside the bare one.
// {5b0f3f5e-8a61-4c3e-9d36-2a1c7e4b9f11}
inline constexpr CLSID CLSID_BenchEchoFloorServer = {
    0x5b0f3f5e, 0x8a61, 0x4c3e, {0x9d, 0x36, 0x2a, 0x1c, 0x7e, 0x4b, 0x9f, 0x11}};

// The members, with the shapes of the shell's editor server:
//   Exec(BSTR), GetProp(BSTR, BSTR) -> BSTR, SetProp(BSTR, BSTR, BSTR).
inline constexpr DISPID kFloorExec = 1;
inline constexpr DISPID kFloorGetProp = 2;
inline constexpr DISPID kFloorSetProp = 3;

// Set by the server once its class is registered as running.
inline constexpr char kFloorReadyEvent[] = "VelmorBenchFloorServerReady";
inline constexpr char kEchoFloorReadyEvent[] = "VelmorBenchEchoFloorServerReady";

// GetProp answers this many characters, the longest reply the engine can give.
inline constexpr int kFloorReplyLength = 16383;
