#include "ReliabilitySupport.h"

#include <dbghelp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <stdexcept>

#include "LoadCalls.h"
#include "Files.h"
#include "WinePath.h"

namespace rel {

LoadClientProcess::LoadClientProcess(int client, int calls, const std::string& directory)
    : m_client(client),
      m_output(directory + "\\load-client-" + std::to_string(client) + ".out") {
    fw::UniqueHandle out = vt::CreateInheritableFile(m_output);
    const std::string exe = vt::ToWindowsPath(VELMOR_LOAD_CLIENT_EXE);
    m_process = std::make_unique<vt::Process>(vt::ProcessStart{
        exe, std::to_string(client) + " " + std::to_string(calls), directory, std::nullopt, out.Get(),
        out.Get(), {}});
    if (!m_process->Started()) throw std::runtime_error("cannot start " + exe);
}

std::string LoadClientProcess::Output() const { return vt::ReadFileBytes(m_output); }

std::vector<std::string> ClientJournalLines(const std::vector<std::string>& journal, int client) {
    const std::string tag = ClientTag(client);
    const std::string exec = "edsrvProcess 65535 0 \"rec.log 5 " + tag + " ";
    const std::string data = "linktopicProcessClientData 65535 \"" + tag + "\" ";
    const std::string request = "linktopicProcessClientRequest 65535 \"" + tag + "\" ";
    std::vector<std::string> lines;
    for (const std::string& line : journal)
        if (line.rfind(exec, 0) == 0 || line.rfind(data, 0) == 0 || line.rfind(request, 0) == 0)
            lines.push_back(line);
    return lines;
}

std::vector<std::string> ExpectedJournalLines(int client, int calls) {
    std::vector<std::string> lines;
    for (int i = 0; i < calls; ++i) lines.push_back(LoadJournalLine(MakeLoadCall(client, i)));
    return lines;
}

std::vector<std::string> ClientLogLines(const std::vector<std::string>& log, int client) {
    const std::string tag = ClientTag(client);
    const std::string echo = "INFO: rec.log 5 " + tag + " ";
    const std::string logged = "ED: " + tag + " ";
    std::vector<std::string> lines;
    for (const std::string& line : log)
        if (line.rfind(echo, 0) == 0 || line.rfind(logged, 0) == 0) lines.push_back(line);
    return lines;
}

std::vector<std::string> ExpectedLogLines(int client, int calls) {
    std::vector<std::string> lines;
    for (int i = 0; i < calls; i += 3) {
        const LoadCall call = MakeLoadCall(client, i);
        lines.push_back("INFO: " + call.first);
        lines.push_back("ED: " + ClientTag(client) + " e" + std::to_string(i));
    }
    return lines;
}

::testing::AssertionResult SameSequence(const std::vector<std::string>& got,
                                        const std::vector<std::string>& want) {
    const std::size_t common = std::min(got.size(), want.size());
    for (std::size_t i = 0; i < common; ++i)
        if (got[i] != want[i])
            return ::testing::AssertionFailure() << "line " << i << " is \"" << got[i]
                                                 << "\", not \"" << want[i] << "\"";
    if (got.size() != want.size())
        return ::testing::AssertionFailure()
               << got.size() << " lines, not " << want.size() << "; the first "
               << (got.size() < want.size() ? "missing: \"" + want[common] + "\""
                                            : "extra: \"" + got[common] + "\"");
    return ::testing::AssertionSuccess();
}

std::vector<Tick> TicksBetween(const std::vector<std::string>& journal, std::size_t from,
                               std::size_t to) {
    std::vector<Tick> ticks;
    for (std::size_t i = from; i < to && i < journal.size(); ++i) {
        unsigned long long n = 0, t = 0;
        if (std::sscanf(journal[i].c_str(), "pServerTick n=%llu t=%llu", &n, &t) == 2)
            ticks.push_back({n, t});
    }
    return ticks;
}

double TickRate(const std::vector<Tick>& ticks) {
    if (ticks.size() < 2 || ticks.back().t <= ticks.front().t) return 0;
    return static_cast<double>(ticks.back().n - ticks.front().n) * 1e6 /
           static_cast<double>(ticks.back().t - ticks.front().t);
}

namespace {

// A structure of the dump at `rva`, or false where the file is too short.
template <class T>
bool At(const std::string& bytes, std::uint64_t rva, T& out) {
    if (rva + sizeof out > bytes.size()) return false;
    std::memcpy(&out, bytes.data() + rva, sizeof out);
    return true;
}

// The module's name as the dump has it, lower-cased.
std::wstring ModuleName(const std::string& bytes, RVA rva) {
    ULONG32 length = 0;
    if (!At(bytes, rva, length) || rva + 4 + length > bytes.size()) return L"";
    std::wstring name(length / 2, L'\0');
    std::memcpy(name.data(), bytes.data() + rva + 4, name.size() * 2);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

}  // namespace

::testing::AssertionResult EndsWithCrashLinesAndDump(const std::vector<std::string>& log,
                                                     const std::string& systemDirectory) {
    if (log.size() < 3) return ::testing::AssertionFailure() << "the log has " << log.size();
    const std::string& caught = log[log.size() - 3];
    if (caught != kCaughtLine) return ::testing::AssertionFailure() << "not caught: " << caught;
    if (!std::regex_match(log[log.size() - 2], kAccessViolationLine))
        return ::testing::AssertionFailure() << "no fault line: " << log[log.size() - 2];
    std::smatch match;
    if (!std::regex_match(log.back(), match, kDumpWrittenLine))
        return ::testing::AssertionFailure() << "no dump line: " << log.back();

    const std::string bytes = vt::ReadFileBytes(systemDirectory + "\\" + match[1].str());
    MINIDUMP_HEADER header{};
    if (!At(bytes, 0, header) || bytes.compare(0, 4, "MDMP") != 0)
        return ::testing::AssertionFailure() << match[1] << " is no minidump";
    bool haveException = false;
    std::uint64_t address = 0;
    std::uint32_t code = 0;
    std::uint64_t engineBase = 0, engineEnd = 0;
    for (ULONG32 i = 0; i < header.NumberOfStreams; ++i) {
        MINIDUMP_DIRECTORY entry{};
        if (!At(bytes, header.StreamDirectoryRva + i * sizeof entry, entry)) break;
        if (entry.StreamType == ExceptionStream) {
            MINIDUMP_EXCEPTION_STREAM stream{};
            if (!At(bytes, entry.Location.Rva, stream)) continue;
            haveException = true;
            code = stream.ExceptionRecord.ExceptionCode;
            address = stream.ExceptionRecord.ExceptionAddress;
        } else if (entry.StreamType == ModuleListStream) {
            ULONG32 count = 0;
            At(bytes, entry.Location.Rva, count);
            for (ULONG32 m = 0; m < count; ++m) {
                MINIDUMP_MODULE module{};
                if (!At(bytes, entry.Location.Rva + 4 + m * sizeof module, module)) break;
                const std::wstring name = ModuleName(bytes, module.ModuleNameRva);
                if (name.size() >= 12 && name.compare(name.size() - 12, 12, L"vmserver.dll") == 0) {
                    engineBase = module.BaseOfImage;
                    engineEnd = module.BaseOfImage + module.SizeOfImage;
                }
            }
        }
    }
    if (!haveException) return ::testing::AssertionFailure() << "no exception stream";
    if (code != EXCEPTION_ACCESS_VIOLATION)
        return ::testing::AssertionFailure() << "exception code " << std::hex << code;
    if (engineEnd == 0) return ::testing::AssertionFailure() << "no vmserver.dll module";
    if (address < engineBase || address >= engineEnd)
        return ::testing::AssertionFailure() << "fault at " << std::hex << address
                                             << " outside the engine " << engineBase << "-"
                                             << engineEnd;
    return ::testing::AssertionSuccess();
}

}  // namespace rel
