// Real automation clients in processes of their own: velmorctl, and a
// VBScript and a JScript run by the system's script host, all binding late by
// ProgID and letting OLE start the shell.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "ChildProcess.h"
#include "OleShell.h"
#include "TextLines.h"

namespace {

// The output of a console program without its final line end.
std::string Chomp(std::string s) {
    if (!s.empty() && s.back() == '\n') s.pop_back();
    if (!s.empty() && s.back() == '\r') s.pop_back();
    return s;
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class Velmorctl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_shell = std::make_unique<vt::OleShell>("velmorctl"); }
    static void TearDownTestSuite() { s_shell.reset(); }

    // Runs velmorctl with `arguments` in the tree's root.
    static vt::ChildResult Run(const std::string& arguments) {
        return vt::RunChild("\"" + vt::VelmorctlPath() + "\" " + arguments, s_shell->Tree().Root(),
                            s_shell->Tree().Path("velmorctl"));
    }
    static vt::ChildResult RunOk(const std::string& arguments) {
        vt::ChildResult r = Run(arguments);
        EXPECT_TRUE(r.finished) << arguments;
        EXPECT_EQ(r.exitCode, 0u) << arguments << ": " << r.err;
        return r;
    }
    static vt::Journal& Journal() { return s_shell->EngineJournal(); }

    static std::unique_ptr<vt::OleShell> s_shell;
};

std::unique_ptr<vt::OleShell> Velmorctl::s_shell;

TEST_F(Velmorctl, ExecAndSlowExecLogAtInfoAndMakeTheSameEngineCall) {
    RunOk("exec \"\"");
    EXPECT_TRUE(Journal().Contains("edsrvProcess 65535 0 \"\""));

    RunOk("exec spawn two   ogres");
    RunOk("slowexec spawn two ogres");
    EXPECT_EQ(Journal().Count("edsrvProcess 65535 0 \"spawn two ogres\""), 2u);

    // Logged before the engine call, under INFO, the empty text too.
    const std::string log = s_shell->LogText();
    EXPECT_NE(log.find("\r\nINFO: \r\n"), std::string::npos);
    EXPECT_EQ(CountOf(log, "\r\nINFO: spawn two ogres\r\n"), 2u);
}

TEST_F(Velmorctl, GetReturnsTheWholeReplyAndNeverReadsPastTheBuffer) {
    RunOk("exec rec.reply 16383");
    vt::ChildResult full = RunOk("get long reply");
    EXPECT_EQ(Chomp(full.out), std::string(16383, 'r'));

    // No NUL anywhere in the 16384 bytes: the first 16383 characters.
    RunOk("exec rec.reply -1 u");
    vt::ChildResult unterminated = RunOk("get long reply");
    EXPECT_EQ(Chomp(unterminated.out), std::string(16383, 'u'));
    EXPECT_EQ(Journal().Count("linktopicProcessClientRequest 65535 \"long\" \"reply\" 0"), 2u);

    // The shell lives on and still answers.
    RunOk("exec rec.reply off");
    EXPECT_EQ(Chomp(RunOk("numcameras").out), "0");
    EXPECT_EQ(vt::ShellProcessIds(s_shell->Tree()).size(), 1u);
}

TEST_F(Velmorctl, SetPassesItsStringsUnchangedAndGetReadsThemBack) {
    RunOk("exec rec.reply off");
    RunOk("set \"first name\" Second value  with \"two  blanks\"");
    EXPECT_TRUE(Journal().Contains(
        "linktopicProcessClientData 65535 \"first name\" \"Second\" 0 \"value with two  blanks\""));
    EXPECT_EQ(Chomp(RunOk("get \"first name\" Second").out), "value with two  blanks");
}

TEST_F(Velmorctl, WrongUseAndAMissingServerHaveTheirOwnExitCodes) {
    const vt::ChildResult none = Run("");
    EXPECT_EQ(none.exitCode, 2u);
    EXPECT_NE(none.err.find("usage: velmorctl"), std::string::npos);
    const vt::ChildResult unknown = Run("launch");
    EXPECT_EQ(unknown.exitCode, 2u);
    EXPECT_NE(unknown.err.find("unknown command launch"), std::string::npos);
    EXPECT_EQ(Run("get onlyone").exitCode, 2u);
    EXPECT_EQ(Run("numcameras 1").exitCode, 2u);
    EXPECT_EQ(Run("exec").exitCode, 2u);

    // Without its registry entries the server cannot be created.
    ASSERT_EQ(::RegDeleteTreeA(HKEY_CLASSES_ROOT, "Velmor.VelmorEdServer"), ERROR_SUCCESS);
    const vt::ChildResult missing = Run("numcameras");
    EXPECT_EQ(missing.exitCode, 3u);
    EXPECT_NE(missing.err.find("Velmor.VelmorEdServer"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());
    s_shell->Register();  // for whatever runs next
}

// Runs `script`, saved in the tree's root as `file`, with the system's script
// host, the tree's root as its directory; it must end without an error.
void RunScript(const vt::OleShell& shell, const std::string& file, const char* script) {
    shell.Tree().Write(file, script);
    const vt::ChildResult run = vt::RunChild(
        "\"" + vt::CscriptPath() + "\" //nologo \"" + shell.Tree().Path(file) + "\"",
        shell.Tree().Root(), shell.Tree().Path("cscript"));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
}

constexpr char kScript[] = R"(
Set fso = CreateObject("Scripting.FileSystemObject")
Set out = fso.CreateTextFile("vbscript.txt", True)
Set server = CreateObject("Velmor.VelmorEdServer")
server.CurCamera = 3
out.WriteLine "CurCamera=" & server.CurCamera
server.Fullscreen = False
out.WriteLine "Fullscreen=" & server.Fullscreen
out.WriteLine "NumCameras=" & server.NumCameras
out.WriteLine "Camera(0) Is Nothing=" & (server.Camera(0) Is Nothing)
server.Exec "rec.journal before NewCamera"
server.Exec "rec.window"
Set camera = server.NewCamera(1, "two", 3.5, Empty, Null, True, server, 8)
out.WriteLine "NewCamera Is Nothing=" & (camera Is Nothing)
server.Exec "rec.journal after NewCamera"
server.Exec "rec.window"
level = 7
server.Init level
command = "from a variable"
server.Exec command
server.SlowExec "from a literal"
server.SetProp "scene", "name", "Keep"
out.WriteLine "GetProp=" & server.GetProp("scene", "name")
On Error Resume Next
server.Exec
out.WriteLine "Exec()=" & Err.Number
Err.Clear
server.Init "many"
out.WriteLine "Init(many)=" & Err.Number
out.Close
)";

TEST(VbScript, DrivesTheServerByName) {
    vt::OleShell shell("vbscript");
    RunScript(shell, "client.vbs", kScript);

    EXPECT_EQ(vt::SplitLines(shell.Tree().Read("vbscript.txt")),
              (std::vector<std::string>{"CurCamera=0", "Fullscreen=True", "NumCameras=0",
                                        "Camera(0) Is Nothing=True", "NewCamera Is Nothing=True",
                                        "GetProp=Keep",
                                        "Exec()=450",         // wrong number of arguments
                                        "Init(many)=13"}));   // type mismatch

    vt::Journal& journal = shell.EngineJournal();
    EXPECT_TRUE(journal.Contains("edsrvProcess 65535 0 \"from a variable\""));
    EXPECT_TRUE(journal.Contains("edsrvProcess 65535 0 \"from a literal\""));
    EXPECT_TRUE(journal.Contains("linktopicProcessClientData 65535 \"scene\" \"name\" 0 \"Keep\""));
    EXPECT_EQ(journal.Count("edsrvProcess 65535 0 \"many\""), 0u);

    // NewCamera opened no window: the same windows before and after it.
    std::vector<std::string> windows[2];
    int part = -1;
    for (const std::string& line : journal.Lines()) {
        if (line == "note before NewCamera") part = 0;
        if (line == "note after NewCamera") part = 1;
        if (part >= 0 && line.rfind("window ", 0) == 0) windows[part].push_back(line);
    }
    EXPECT_FALSE(windows[0].empty());
    EXPECT_EQ(windows[0].size(), windows[1].size());
}

// JScript passes its arguments by value and reads a string reply as a
// JScript string.
constexpr char kJScript[] = R"(
var fso = new ActiveXObject("Scripting.FileSystemObject");
var out = fso.CreateTextFile("jscript.txt", true);
var server = new ActiveXObject("Velmor.VelmorEdServer");
server.Exec("rec.reply 16383");
var reply = server.GetProp("long", "reply");
out.WriteLine("GetProp length=" + reply.length + " only r=" + /^r+$/.test(reply));
server.Exec("rec.reply off");
server.SetProp("scene", "title", "set by JScript");
out.WriteLine("GetProp=" + server.GetProp("scene", "title"));
server.Exec("from JScript");
out.Close();
)";

TEST(JScript, ExecGetPropWithTheLongestReplyAndSetProp) {
    vt::OleShell shell("jscript");
    RunScript(shell, "client.js", kJScript);

    EXPECT_EQ(vt::SplitLines(shell.Tree().Read("jscript.txt")),
              (std::vector<std::string>{"GetProp length=16383 only r=true",
                                        "GetProp=set by JScript"}));
    vt::Journal& journal = shell.EngineJournal();
    EXPECT_TRUE(journal.Contains("linktopicProcessClientRequest 65535 \"long\" \"reply\" 0"));
    EXPECT_TRUE(
        journal.Contains("linktopicProcessClientData 65535 \"scene\" \"title\" 0 \"set by JScript\""));
    EXPECT_TRUE(journal.Contains("edsrvProcess 65535 0 \"from JScript\""));
    EXPECT_NE(shell.LogText().find("\r\nINFO: from JScript\r\n"), std::string::npos);
}

}  // namespace
