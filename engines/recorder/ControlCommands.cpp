#include "ControlCommands.h"

#include <cstdint>

#include "ElapsedClock.h"
#include "HeapReport.h"
#include "Journal.h"
#include "ParseNumber.h"
#include "RecorderState.h"
#include "TextFormat.h"
#include "UniqueHandle.h"  // framework/, header-only
#include "vmserver.h"
#include "WindowReport.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace recorder {

namespace {

constexpr std::string_view kPrefix = "rec.";

// Arguments separated by single spaces; the last one may be the whole rest.
class Arguments {
public:
    explicit Arguments(std::string_view text) : m_rest(text) {}

    std::string_view Next() {
        const std::size_t space = m_rest.find(' ');
        const std::string_view word = m_rest.substr(0, space);
        m_rest = space == std::string_view::npos ? std::string_view() : m_rest.substr(space + 1);
        return word;
    }
    std::string_view Rest() const { return m_rest; }
    std::string Text() const { return Unescape(m_rest); }  // the rest, escapes decoded
    bool AtEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

// A handler returns false when its arguments are malformed.
using Handler = bool (*)(Arguments& arguments);

struct ControlCommand {
    std::string_view word;
    Handler run;
};

bool HasLog() { return PLATFORM.Log != nullptr; }

// rec.log CAT TEXT
bool OnLog(Arguments& arguments) {
    std::int32_t category = 0;
    if (!engines::ParseInt32(arguments.Next(), category)) return false;
    const std::string text = arguments.Text();
    if (HasLog()) PLATFORM.Log(category, text.c_str());
    return true;
}

// rec.lognull CAT
bool OnLogNull(Arguments& arguments) {
    std::int32_t category = 0;
    if (!engines::ParseInt32(arguments.Next(), category) || !arguments.AtEnd()) return false;
    if (HasLog()) PLATFORM.Log(category, nullptr);
    return true;
}

// rec.logrepeat CAT COUNT LEN: line i (from 0) is "<i> xxx...", cut or filled
// to LEN characters. LEN is refused above 1 MiB.
bool OnLogRepeat(Arguments& arguments) {
    std::int32_t category = 0;
    std::int64_t count = 0;
    std::int64_t length = 0;
    if (!engines::ParseInt32(arguments.Next(), category)) return false;
    if (!engines::ParseInteger(arguments.Next(), 0, INT32_MAX, count)) return false;
    if (!engines::ParseInteger(arguments.Next(), 0, 1 << 20, length)) return false;
    if (!arguments.AtEnd()) return false;
    const auto size = static_cast<std::size_t>(length);
    for (std::int64_t i = 0; i < count; ++i) {
        std::string text = std::to_string(i) + ' ';
        text.resize(size, 'x');
        if (HasLog()) PLATFORM.Log(category, text.c_str());
    }
    return true;
}

// rec.openlog NAME, with "-" for a null name
bool OnOpenLog(Arguments& arguments) {
    const std::string name = arguments.Text();
    if (PLATFORM.OpenLog) PLATFORM.OpenLog(name == "-" ? nullptr : name.c_str());
    return true;
}

// rec.openlogfield: PLATFORM.OpenLog with the record's own LogFileName, the
// name OpenLog is about to overwrite
bool OnOpenLogField(Arguments& arguments) {
    if (!arguments.AtEnd()) return false;
    if (PLATFORM.OpenLog) PLATFORM.OpenLog(PLATFORM.LogFileName);
    return true;
}

// rec.closelog
bool OnCloseLog(Arguments& arguments) {
    if (!arguments.AtEnd()) return false;
    if (PLATFORM.CloseLog) PLATFORM.CloseLog();
    return true;
}

// rec.enablelog CAT FLAG
bool OnEnableLog(Arguments& arguments) {
    std::uint32_t category = 0;
    std::int64_t flag = 0;
    if (!engines::ParseUInt32(arguments.Next(), category)) return false;
    if (!engines::ParseInteger(arguments.Next(), 0, 255, flag) || !arguments.AtEnd()) return false;
    if (PLATFORM.EnableLog) PLATFORM.EnableLog(category, static_cast<unsigned char>(flag));
    return true;
}

// rec.dump FILE: the record's 4096 bytes, raw
bool OnDump(Arguments& arguments) {
    const std::string path = arguments.Text();
    if (path.empty()) return false;
    fw::UniqueFile file(std::fopen(path.c_str(), "wb"));
    const bool written =
        file && std::fwrite(&PLATFORM, 1, sizeof PLATFORM, file.get()) == sizeof PLATFORM;
    const bool closed = file && std::fclose(file.release()) == 0;
    if (!written || !closed) Journal("error dump " + Quote(path));
    return true;
}

// rec.reply LEN [FILL] | rec.reply off
bool OnReply(Arguments& arguments) {
    ReplyMode& reply = State().reply;
    const std::string_view first = arguments.Next();
    if (EqualNoCase(first, "off") && arguments.AtEnd()) {
        reply = ReplyMode();
        return true;
    }
    // LEN is refused beyond what fits the buffer with its NUL.
    std::int64_t length = 0;
    if (!engines::ParseInteger(first, -1, static_cast<std::int64_t>(kEngineReplySize) - 1, length))
        return false;
    const std::string fill = arguments.Text();
    if (fill.size() > 1) return false;
    reply.fixed = true;
    reply.length = static_cast<int>(length);
    reply.fill = fill.empty() ? 'r' : fill[0];
    return true;
}

// rec.sleep MS
bool OnSleep(Arguments& arguments) {
    std::int64_t milliseconds = 0;
    if (!engines::ParseInteger(arguments.Next(), 0, INT32_MAX, milliseconds) || !arguments.AtEnd())
        return false;
    Sleep(static_cast<DWORD>(milliseconds));
    return true;
}

// rec.pump MS: runs this thread's messages for MS milliseconds, as an engine
// that keeps its windows alive during a long command does, then "note pumped".
bool OnPump(Arguments& arguments) {
    std::int64_t milliseconds = 0;
    if (!engines::ParseInteger(arguments.Next(), 0, INT32_MAX, milliseconds) || !arguments.AtEnd())
        return false;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // left for the loop it ends
                Journal("note pumped");
                return true;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    Journal("note pumped");
    return true;
}

struct ThreadLogWorker {
    int index;
    std::int64_t lines;
};

DWORD WINAPI LogFromThread(void* parameter) {
    const ThreadLogWorker& worker = *static_cast<const ThreadLogWorker*>(parameter);
    for (std::int64_t i = 0; i < worker.lines; ++i) {
        const std::string text =
            Format("thread %d line %lld", worker.index, static_cast<long long>(i));
        if (HasLog()) PLATFORM.Log(1, text.c_str());
    }
    return 0;
}

// rec.threadlog N M: N threads of the engine's own log M lines each,
// "thread <t> line <i>", all at once, while this call waits for them (at most
// 60 s): "note threads done", or "error threads timed out".
bool OnThreadLog(Arguments& arguments) {
    std::int64_t threads = 0;
    std::int64_t lines = 0;
    if (!engines::ParseInteger(arguments.Next(), 1, MAXIMUM_WAIT_OBJECTS, threads)) return false;
    if (!engines::ParseInteger(arguments.Next(), 0, INT32_MAX, lines)) return false;
    if (!arguments.AtEnd()) return false;
    std::vector<ThreadLogWorker> workers;
    for (int t = 0; t < threads; ++t) workers.push_back({t, lines});
    std::vector<HANDLE> handles;
    for (ThreadLogWorker& worker : workers) {
        if (HANDLE h = CreateThread(nullptr, 0, &LogFromThread, &worker, 0, nullptr))
            handles.push_back(h);
    }
    const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                                TRUE, 60000);
    for (HANDLE h : handles) CloseHandle(h);
    if (waited == WAIT_TIMEOUT) {
        // The workers still use `workers`: leave it to them rather than free it.
        new std::vector<ThreadLogWorker>(std::move(workers));
        Journal("error threads timed out");
    } else {
        Journal(handles.size() == workers.size() ? "note threads done" : "error threads not made");
    }
    return true;
}

// rec.crash: an access violation, for the shell's exception handling
bool OnCrash(Arguments& arguments) {
    if (!arguments.AtEnd()) return false;
    // The address is read from a volatile, so the compiler cannot know it is
    // null: it emits the write itself (neither dropping it, as optimised
    // builds do with a known null, nor replacing it with a trap).
    volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 0;
    return true;
}

bool SetHook(std::vector<std::string>& hooks, Arguments& arguments) {
    const std::string_view text = arguments.Rest();
    if (text.empty()) return false;
    if (EqualNoCase(text, "off")) {
        hooks.clear();
    } else {
        // Kept as given: the hook's own arguments are decoded when it runs.
        hooks.emplace_back(text);
    }
    return true;
}

// rec.ontick TEXT | rec.ontick off, and the same for onexit and oninit
bool OnOnTick(Arguments& arguments) { return SetHook(State().onTick, arguments); }
bool OnOnExit(Arguments& arguments) { return SetHook(State().onExit, arguments); }
bool OnOnInit(Arguments& arguments) { return SetHook(State().onInit, arguments); }

// rec.journal TEXT: a line "note TEXT"
bool OnJournal(Arguments& arguments) {
    Journal("note " + Escape(arguments.Text()));
    return true;
}

// rec.time LABEL [TEXT]: a line "time LABEL qpc=<counter> us=<microseconds>"
// with the performance counter when the command began and the time that the
// control command TEXT took (0 without one), for timing the shell from outside.
bool OnTime(Arguments& arguments) {
    const std::string_view label = arguments.Next();
    if (label.empty()) return false;
    const std::string_view text = arguments.Rest();  // decoded by the command itself
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const std::int64_t begin = PerformanceCounter();
    if (!text.empty()) RunControlCommand(text);
    const std::int64_t counts = PerformanceCounter() - begin;
    const long long microseconds = counts * 1000000 / frequency.QuadPart;
    Journal("time " + std::string(label) + Format(" qpc=%lld us=%lld", static_cast<long long>(begin),
                                                  microseconds));
    return true;
}

// rec.heap: the bytes and blocks in use in the process's heaps
bool OnHeap(Arguments& arguments) {
    if (!arguments.AtEnd()) return false;
    JournalHeapUse();
    return true;
}

// rec.window: the process's top-level windows and their menus
bool OnWindow(Arguments& arguments) {
    if (!arguments.AtEnd()) return false;
    JournalWindows();
    return true;
}

// rec.popup: the items of the process's open pop-up menus
bool OnPopup(Arguments& arguments) {
    if (!arguments.AtEnd()) return false;
    JournalPopupMenus();
    return true;
}

constexpr ControlCommand kControlCommands[] = {
    {"log", OnLog},
    {"lognull", OnLogNull},
    {"logrepeat", OnLogRepeat},
    {"openlog", OnOpenLog},
    {"openlogfield", OnOpenLogField},
    {"closelog", OnCloseLog},
    {"enablelog", OnEnableLog},
    {"dump", OnDump},
    {"reply", OnReply},
    {"sleep", OnSleep},
    {"pump", OnPump},
    {"crash", OnCrash},
    {"threadlog", OnThreadLog},
    {"ontick", OnOnTick},
    {"onexit", OnOnExit},
    {"oninit", OnOnInit},
    {"journal", OnJournal},
    {"time", OnTime},
    {"window", OnWindow},
    {"popup", OnPopup},
    {"heap", OnHeap},
};

}  // namespace

bool IsControlCommand(std::string_view text) { return StartsWithNoCase(text, kPrefix); }

void RunControlCommand(std::string_view text) {
    std::string_view body = text;
    if (IsControlCommand(body)) body.remove_prefix(kPrefix.size());
    Arguments arguments(body);
    const std::string_view word = arguments.Next();
    for (const ControlCommand& command : kControlCommands) {
        if (!EqualNoCase(word, command.word)) continue;
        if (!command.run(arguments)) Journal("error usage " + Quote(text));
        return;
    }
    Journal("error unknown " + Quote(text));
}

void RunHooks(const std::vector<std::string>& hooks) {
    const std::vector<std::string> copy = hooks;
    for (const std::string& hook : copy) RunControlCommand(hook);
}

}  // namespace recorder
