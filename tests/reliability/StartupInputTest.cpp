// Start-up inputs at and past their limits: command lines of 0 to 32,000
// characters, normal and OLE starts; "/REGISTER" inside longer words and
// near misses; a corrupt type library; start directories near MAX_PATH, at a
// drive root, without a "system" folder and where nothing can be written.
// The shell starts (or registers and ends) as its rules say, writes nothing
// past its buffers, and keeps working.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "ReliabilitySupport.h"
#include "ScratchTree.h"
#include "ShellProcess.h"
#include "WinePath.h"
#include "automation/guids.h"
#include "engine/vmserver.h"

namespace {

constexpr std::size_t kCmdLineOffset = kPlatformRecordLayout.CmdLine;
constexpr std::size_t kExeNameOffset = kPlatformRecordLayout.ExeName;
constexpr std::size_t kFieldSize = 256;

// Lower-case letters and digits over and over, so that the upper-casing and
// any cut show.
std::string Pattern(std::size_t length) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += kChars[i % (sizeof kChars - 1)];
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The NUL-terminated string of a 256-byte field of the dumped record.
std::string Field(const std::string& record, std::size_t offset) {
    const std::string field = record.substr(offset, kFieldSize);
    return field.substr(0, field.find('\0'));
}


// ---------------------------------------------------------------- command line

struct CommandLineCase {
    std::size_t length;  // characters of arguments after the switch, if any
    bool oleStart;       // started for embedding, as OLE starts it
};

class CommandLineLength : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineLength, RecordHoldsAtMost255CharactersAndTheEditorSwitchOnAnOleStart) {
    const CommandLineCase c = GetParam();
    vt::ScratchTree tree("rel-cmdline");
    tree.Write("System\\recorder.cmds", "rec.dump record.bin\nrec.journal dumped\n");
    const std::string pattern = Pattern(c.length);
    const std::string arguments = c.oleStart ? "-Embedding" + (pattern.empty() ? "" : " " + pattern)
                                             : pattern;
    vt::ShellProcess shell(vt::StartIn(tree, arguments));
    ASSERT_TRUE(shell.EngineJournal().WaitFor("note dumped"));
    ASSERT_NE(shell.Console(), nullptr);

    const std::string record = tree.Read("System\\record.bin");
    ASSERT_EQ(record.size(), 4096u);
    std::string expected = Upper(arguments);
    if (c.oleStart) {
        if (expected.size() > 255 - 8) expected.resize(255 - 8);
        expected += " -EDITOR";
    } else if (expected.size() > 255) {
        expected.resize(255);
    }
    EXPECT_EQ(Field(record, kCmdLineOffset), expected);
    // Terminated inside the field, zero after it, and the next field intact.
    const std::string field = record.substr(kCmdLineOffset, kFieldSize);
    EXPECT_EQ(field.find_first_not_of('\0', expected.size()), std::string::npos);
    EXPECT_EQ(Field(record, kExeNameOffset), "Velmor");

    EXPECT_TRUE(shell.Sync("still running"));
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(shell.ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CommandLineLength,
    ::testing::Values(CommandLineCase{0, false}, CommandLineCase{255, false},
                      CommandLineCase{256, false}, CommandLineCase{32000, false},
                      CommandLineCase{0, true}, CommandLineCase{236, true},
                      CommandLineCase{237, true}, CommandLineCase{32000, true}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) {
        return std::string(info.param.oleStart ? "Ole" : "Normal") +
               std::to_string(info.param.length);
    });

// ----------------------------------------------------------------- /REGISTER

struct RegisterCase {
    const char* name;
    std::string arguments;
    bool registersOnly;
};

class RegisterWord : public ::testing::TestWithParam<RegisterCase> {};

TEST_P(RegisterWord, AnywhereRegistersAndEndsNearMissesRun) {
    const RegisterCase& c = GetParam();
    vt::ScratchTree tree("rel-register-word");
    vt::ShellProcess shell(vt::StartIn(tree, c.arguments));
    if (c.registersOnly) {
        bool sawConsole = false;
        while (!shell.WaitExit(std::chrono::milliseconds(10)))
            sawConsole = sawConsole || shell.Console(std::chrono::milliseconds(0)) != nullptr;
        EXPECT_FALSE(sawConsole);
        EXPECT_EQ(shell.ExitCode(), 0u);
        EXPECT_FALSE(tree.Exists("System\\recorder.journal")) << "the engine was called";
        EXPECT_FALSE(tree.Exists("System\\Velmor.log"));
    } else {
        ASSERT_NE(shell.Console(), nullptr);
        ASSERT_TRUE(shell.WaitEngineStarted());
        ASSERT_TRUE(shell.Close());
        EXPECT_EQ(shell.ExitCode(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Words, RegisterWord,
    ::testing::Values(RegisterCase{"Suffix", "/REGISTERED", true},
                      RegisterCase{"Inside", "un/registerable", true},
                      RegisterCase{"AfterText", "level=one/Register", true},
                      RegisterCase{"PastTheCopy", std::string(300, 'x') + " /register", true},
                      RegisterCase{"Twice", "/register/REGISTER", true},
                      RegisterCase{"Cut", "/REGISTE", false},
                      RegisterCase{"Blank", "/ REGISTER", false},
                      RegisterCase{"Backslash", "\\REGISTER", false},
                      RegisterCase{"Hyphen", "-REGISTER", false},
                      RegisterCase{"Split", "/REGIS TER", false}),
    [](const ::testing::TestParamInfo<RegisterCase>& info) { return info.param.name; });

// ------------------------------------------------------------- type library

struct TypeLibraryCase {
    const char* name;
    bool directory;     // a folder named Velmor.tlb instead of a file
    std::string bytes;  // else the file's content
};

std::string RealTypeLibrary() { return vt::ReadFileBytes(vt::ToWindowsPath(VELMOR_TLB)); }

std::vector<TypeLibraryCase> TypeLibraryCases() {
    const std::string real = RealTypeLibrary();
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    std::string header = real.substr(0, 0x54);  // a plausible header, nothing after it
    std::string scrambled = real;
    for (std::size_t i = 0x54; i < scrambled.size(); i += 3) scrambled[i] = '\xFF';
    // The two cut files ended the process inside Wine's LoadTypeLib (a
    // breakpoint on reading past the end) until the shell looked first.
    return {{"Empty", false, ""},
            {"Garbage", false, garbage},
            {"HeaderOnly", false, header},
            {"FirstHalf", false, real.substr(0, real.size() / 2)},
            {"Scrambled", false, scrambled},
            {"Directory", true, ""}};
}

class CorruptTypeLibrary : public ::testing::TestWithParam<TypeLibraryCase> {};

TEST_P(CorruptTypeLibrary, StartAndRegistrationGoOnWithoutAMessage) {
    const TypeLibraryCase& c = GetParam();
    vt::ScratchTree tree("rel-bad-tlb", /*withTypeLibrary=*/false);
    if (c.directory)
        ASSERT_TRUE(::CreateDirectoryA(tree.Path("System\\Velmor.tlb").c_str(), nullptr));
    else
        tree.Write("System\\Velmor.tlb", c.bytes);

    {
        vt::ShellProcess registration(vt::StartIn(tree, "/REGISTER"));
        ASSERT_TRUE(registration.WaitExit());
        EXPECT_EQ(registration.ExitCode(), 0u) << "registration did not end normally";
    }
    vt::ShellProcess shell(vt::StartIn(tree, ""));
    ASSERT_NE(shell.Console(), nullptr);
    ASSERT_TRUE(shell.WaitEngineStarted());
    EXPECT_TRUE(shell.Sync("running"));
    // No message of any kind: the console is the only visible window.
    for (HWND window = ::GetTopWindow(nullptr); window; window = ::GetWindow(window, GW_HWNDNEXT)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid == shell.Id() && ::IsWindowVisible(window)) {
            EXPECT_EQ(window, shell.Console()) << vt::WindowText(window);
        }
    }
    EXPECT_EQ(shell.PaneText().find("CRITICAL"), std::string::npos);
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(shell.ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CorruptTypeLibrary, ::testing::ValuesIn(TypeLibraryCases()),
    [](const ::testing::TestParamInfo<TypeLibraryCase>& info) { return info.param.name; });

// --------------------------------------------------------- start directories

// CreateDirectoryA refuses paths of 248 characters and more; the "\\?\"
// form of the wide call does not.
std::wstring LongForm(const std::string& path) {
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

bool CreateLongDirectory(const std::string& path) {
    return ::CreateDirectoryW(LongForm(path).c_str(), nullptr) ||
           ::GetLastError() == ERROR_ALREADY_EXISTS;
}

void RemoveLongTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveLongTree(path + L"\\" + name);
            else
                ::DeleteFileW((path + L"\\" + name).c_str());
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

std::string ReadLongFile(const std::string& path) {
    HANDLE file = ::CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        content.append(buffer, got);
    ::CloseHandle(file);
    return content;
}

bool LongFileExists(const std::string& path) {
    return ::GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A directory of exactly `length` characters under the scratch root, with a
// "system" folder in it, built from components short enough for any API.
std::string DirectoryOfLength(const std::string& base, std::size_t length) {
    std::string path = vt::ToWindowsPath(VELMOR_SCRATCH_ROOT) + "\\" + base;
    RemoveLongTree(LongForm(path));
    if (!CreateLongDirectory(path)) return {};
    while (path.size() < length) {
        // Characters still to add, separators included; no component may
        // leave less than a separator and two characters for the next one.
        const std::size_t remaining = length - path.size();
        const std::size_t part =
            remaining > 101 ? std::min<std::size_t>(100, remaining - 3) : remaining - 1;
        path += "\\" + std::string(part, 'd');
        if (!CreateLongDirectory(path)) return {};
    }
    CreateLongDirectory(path + "\\system");
    return path;
}

class LongStartDirectory : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LongStartDirectory, RunsInItsSystemFolderOrWhereItWasStarted) {
    const std::size_t length = GetParam();
    vt::ScratchTree tree("rel-long-start-exe");
    const std::string start = DirectoryOfLength("rel-long-start", length);
    ASSERT_EQ(start.size(), length) << "cannot make a directory of this length";
    const std::string journal = tree.System() + "\\recorder.journal";
    std::unique_ptr<vt::ShellProcess> shell;
    try {
        shell = std::make_unique<vt::ShellProcess>(
            vt::ShellStart{tree.System() + "\\Velmor.exe", "", start, journal});
    } catch (const std::exception& e) {
        GTEST_SKIP() << "the system starts no process in a directory of " << length
                     << " characters: " << e.what();
    }
    ASSERT_NE(shell->Console(), nullptr);
    ASSERT_TRUE(shell->WaitEngineStarted());
    EXPECT_TRUE(shell->Sync("long start"));
    ASSERT_TRUE(shell->Close());
    EXPECT_EQ(shell->ExitCode(), 0u);

    // start + "\system" fits the 256-byte buffer up to 248 characters; a
    // longer start directory is refused as the working directory's base, and
    // the shell works where it was started.
    const std::string workDirectory = length <= 248 ? start + "\\system" : start;
    const std::vector<std::string> log = vt::SplitLines(ReadLongFile(workDirectory + "\\Velmor.log"));
    ASSERT_FALSE(log.empty()) << "no log in " << workDirectory;
    EXPECT_NE(vt::IndexOf(log, "CONSOLE: rec.journal long start"), -1);
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u);
    // Never both, and never a cut path.
    EXPECT_FALSE(LongFileExists((length <= 248 ? start : start + "\\system") + "\\Velmor.log"));
}

INSTANTIATE_TEST_SUITE_P(NearMaxPath, LongStartDirectory,
                         ::testing::Values(248u, 249u, 255u, 256u, 258u));

TEST(StartDirectory, DriveRootGivesADoubledSeparatorThatStillWorks) {
    const std::string root = VELMOR_RELIABILITY_DRIVE "\\";
    if (!vt::FileExists(root))
        GTEST_SKIP() << "drive " << VELMOR_RELIABILITY_DRIVE
                     << " is not mapped (ctest maps it through the prefix's dosdevices)";
    vt::RemoveTree(root + "System");
    vt::CopyShellInto(root + "System");
    ::DeleteFileA((root + "Velmor.log").c_str());
    const std::string journal = vt::ScratchDirectory("rel-drive-journal") + "\\recorder.journal";
    {
        vt::ShellProcess shell({root + "System\\Velmor.exe", "", root, journal});
        ASSERT_NE(shell.Console(), nullptr);
        ASSERT_TRUE(shell.WaitEngineStarted());
        EXPECT_TRUE(shell.Sync("at the root"));
        ASSERT_TRUE(shell.Close());
        EXPECT_EQ(shell.ExitCode(), 0u);
    }
    // "Q:\" + "\system": the doubled separator names Q:\system.
    const std::vector<std::string> log = vt::SplitLines(vt::ReadFileBytes(root + "System\\Velmor.log"));
    EXPECT_NE(vt::IndexOf(log, "CONSOLE: rec.journal at the root"), -1);
    EXPECT_FALSE(vt::FileExists(root + "Velmor.log"));

    // The type library was registered under the doubled path, and loads.
    HKEY key = nullptr;
    wchar_t libid[64] = {};
    ::StringFromGUID2(LIBID_Velmor, libid, 64);
    const std::string path =
        "TypeLib\\" + std::string(libid, libid + std::wcslen(libid)) + "\\1.0\\0\\" + vt::kTypeLibPlatform;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    char value[MAX_PATH] = {};
    LONG size = sizeof value;
    EXPECT_EQ(::RegQueryValueA(key, nullptr, value, &size), ERROR_SUCCESS);
    ::RegCloseKey(key);
    EXPECT_STREQ(value, (root + "\\System\\Velmor.tlb").c_str());
    vt::RemoveTree(root + "System");
}

// ------------------------------------------------------------ system folder

// The shell started in `start`, its engine journal in a scratch folder; the
// log cannot be opened there.
void ExpectRunsWithoutALog(const std::string& start) {
    vt::ScratchTree tree("rel-no-log-exe");
    const std::string journal = tree.System() + "\\recorder.journal";
    vt::ShellProcess shell({tree.System() + "\\Velmor.exe", "", start, journal});
    ASSERT_NE(shell.Console(), nullptr);
    ASSERT_TRUE(shell.WaitEngineStarted());
    ASSERT_TRUE(shell.TryCommand("rec.window"));
    ASSERT_TRUE(shell.Sync("no log"));
    const std::string pane = shell.PaneText();
    EXPECT_EQ(pane.rfind("\r\nINFO: Failed to open log \r\n", 0), 0u) << pane;
    // The Log menu offers to open the log and not to close it.
    const vt::Journal& j = shell.EngineJournal();
    const auto menu = j.Matching("menu ");
    auto state = [&menu](int id) {
        for (const std::string& line : menu)
            if (line.find(" id=" + std::to_string(id) + " ") != std::string::npos)
                return line.substr(line.find("state="));
        return std::string("missing");
    };
    EXPECT_EQ(state(32779), "state=0x00000000");
    EXPECT_EQ(state(32780), "state=0x00000001");  // MF_GRAYED
    // Ticks run, commands work, the menu's Open log fails again, the close ends it.
    EXPECT_TRUE(j.WaitFor("pServerTick n=10 "));
    shell.MenuCommand(32779);
    EXPECT_TRUE(shell.Sync("tried again"));
    const std::string later = shell.PaneText();
    EXPECT_NE(later.find("\r\nINFO: Failed to open log \r\nCONSOLE: rec.journal tried again "),
              std::string::npos)
        << later;
    ASSERT_TRUE(shell.Close());
    EXPECT_EQ(shell.ExitCode(), 0u);
    EXPECT_TRUE(j.Contains("pExitAll"));
}

TEST(SystemFolder, MissingMeansTheShellWorksInTheStartDirectory) {
    vt::ScratchTree tree("rel-no-system-exe");
    const std::string start = vt::ScratchDirectory("rel-no-system");
    const std::string journal = tree.System() + "\\recorder.journal";
    {
        vt::ShellProcess shell({tree.System() + "\\Velmor.exe", "", start, journal});
        ASSERT_NE(shell.Console(), nullptr);
        ASSERT_TRUE(shell.WaitEngineStarted());
        EXPECT_TRUE(shell.Sync("without system"));
        ASSERT_TRUE(shell.Close());
    }
    const std::vector<std::string> log = vt::SplitLines(vt::ReadFileBytes(start + "\\Velmor.log"));
    EXPECT_NE(vt::IndexOf(log, "CONSOLE: rec.journal without system"), -1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("INFO: Log file closed, ", 0), 0u);
}

TEST(SystemFolder, WhereNothingCanBeWrittenTheShellRunsWithoutALog) {
    // sysfs: a "system" folder in which not even root creates a file.
    const std::string start = "Z:\\sys\\devices";
    if (!vt::FileExists(start + "\\system")) GTEST_SKIP() << "no unwritable system folder here";
    ExpectRunsWithoutALog(start);
}

TEST(SystemFolder, MissingInAStartDirectoryWhereNothingCanBeWritten) {
    const std::string start = "Z:\\proc\\sys";
    if (!vt::FileExists(start) || vt::FileExists(start + "\\system"))
        GTEST_SKIP() << "no unwritable start directory here";
    ExpectRunsWithoutALog(start);
}

}  // namespace
