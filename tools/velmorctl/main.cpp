// velmorctl: sends engine commands and property requests to the shell's
// editor automation server from the command line. OLE starts the shell if
// none is running.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "DispatchClient.h"
#include "OleString.h"

namespace {

constexpr char kProgId[] = "Velmor.VelmorEdServer";

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitCallFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoServer = 3;

constexpr char kUsage[] =
    "usage: velmorctl COMMAND [ARGUMENTS]\n"
    "\n"
    "  exec TEXT        run TEXT as an engine command\n"
    "  slowexec TEXT    the same, showing the wait cursor while the engine works\n"
    "  get A B          print the engine property named by A and B\n"
    "  set A B VALUE    set the engine property named by A and B to VALUE\n"
    "  numcameras       print the server's number of cameras\n"
    "\n"
    "TEXT and VALUE are the rest of the command line: several arguments are\n"
    "joined with single blanks (quote an argument to keep its own blanks).\n"
    "\n"
    "Exit status: 0 done, 1 the call failed, 2 usage error, 3 the server\n"
    "could not be created.\n";

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "velmorctl: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

std::string JoinFrom(int argc, char** argv, int first) {
    std::string text;
    for (int i = first; i < argc; ++i) {
        if (i > first) text += ' ';
        text += argv[i];
    }
    return text;
}

// The string arguments of a call, as VT_BSTR variants freed with the object.
class StringArgs {
public:
    explicit StringArgs(const std::vector<std::string>& texts) {
        for (const std::string& t : texts) {
            VARIANT v;
            ::VariantInit(&v);
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = fw::AnsiToBstr(t);
            m_values.push_back(v);
            if (!V_BSTR(&v)) m_valid = false;
        }
    }
    ~StringArgs() {
        for (VARIANT& v : m_values) ::VariantClear(&v);
    }
    StringArgs(const StringArgs&) = delete;
    StringArgs& operator=(const StringArgs&) = delete;
    bool Valid() const { return m_valid; }
    std::span<VARIANT> Get() { return m_values; }

private:
    std::vector<VARIANT> m_values;
    bool m_valid = true;
};

// The result of a call; cleared when it goes.
class Result {
public:
    Result() { ::VariantInit(&m_value); }
    ~Result() { ::VariantClear(&m_value); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    VARIANT* Get() { return &m_value; }

private:
    VARIANT m_value;
};

class ComScope {
public:
    ComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_hr)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

struct Command {
    const char* name;
    const wchar_t* member;
    int minArgs;   // strings after the command word
    int fixedArgs; // arguments taken one each; the rest, if any, are joined into one more
    bool joinRest;
};

// Builds the member's string arguments from the command line; false on a
// usage error.
bool BuildArgs(const Command& c, int argc, char** argv, std::vector<std::string>& out) {
    const int given = argc - 2;
    if (given < c.minArgs) return false;
    if (!c.joinRest && given != c.fixedArgs) return false;
    for (int i = 0; i < c.fixedArgs; ++i) out.emplace_back(argv[2 + i]);
    if (c.joinRest) out.push_back(JoinFrom(argc, argv, 2 + c.fixedArgs));
    return true;
}

constexpr Command kCommands[] = {
    {"exec", L"Exec", 1, 0, true},
    {"slowexec", L"SlowExec", 1, 0, true},
    {"get", L"GetProp", 2, 2, false},
    {"set", L"SetProp", 3, 2, true},
    {"numcameras", L"NumCameras", 0, 0, false},
};

// Prints a call's result: strings as they are, numbers in decimal.
bool PrintResult(VARIANT* result) {
    if (V_VT(result) == VT_EMPTY) return true;
    if (V_VT(result) != VT_BSTR && FAILED(::VariantChangeType(result, result, 0, VT_BSTR)))
        return false;
    const std::string text = fw::BstrToAnsi(V_BSTR(result));
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage(nullptr);
    if (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help") ||
        !std::strcmp(argv[1], "/?")) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (!::lstrcmpiA(c.name, argv[1])) command = &c;
    if (!command) return Usage((std::string("unknown command ") + argv[1]).c_str());
    std::vector<std::string> texts;
    if (!BuildArgs(*command, argc, argv, texts))
        return Usage((std::string("wrong number of arguments for ") + command->name).c_str());

    ComScope com;
    if (FAILED(com.Result())) {
        std::fprintf(stderr, "velmorctl: OLE cannot be initialised: %s\n",
                     DescribeResult(com.Result()).c_str());
        return kExitNoServer;
    }

    std::string error;
    DispatchClient server;
    if (FAILED(server.Create(kProgId, error))) {
        std::fprintf(stderr, "velmorctl: %s\n", error.c_str());
        return kExitNoServer;
    }

    StringArgs args(texts);
    if (!args.Valid()) {
        std::fputs("velmorctl: out of memory\n", stderr);
        return kExitCallFailed;
    }

    Result result;
    if (FAILED(server.Call(command->member, args.Get(), result.Get(), error))) {
        std::fprintf(stderr, "velmorctl: %s\n", error.c_str());
        return kExitCallFailed;
    }
    if (!PrintResult(result.Get())) {
        std::fputs("velmorctl: the result cannot be printed\n", stderr);
        return kExitCallFailed;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmorctl: %s\n", e.what());
        return kExitCallFailed;
    }
}
