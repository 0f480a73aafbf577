// The console's dialog 102 and the menus 129 (console) and 132 (camera) as the
// shell's executable carries them, read from the executable loaded as data
// and compared with the tables the shell is built to: caption, size, styles
// and controls of the dialog, every item of the console menu with its id and
// separators, and the right-aligned Help popups of both menus.
#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ScratchTree.h"
#include "UniqueHandle.h"

namespace {

using vt::ScratchTree;

// One row of a menu table: a popup's item, or "-" for a separator.
struct Item {
    std::string text;
    UINT id;
    UINT state;  // MFS_ flags; 0: enabled, unchecked
    bool operator==(const Item&) const = default;
};
struct Popup {
    std::string text;
    bool rightAligned;
    std::vector<Item> items;
    bool operator==(const Popup&) const = default;
};

void PrintTo(const Item& item, std::ostream* out) {
    *out << '"' << item.text << "\" " << item.id << (item.state & MFS_CHECKED ? " checked" : "");
}
void PrintTo(const Popup& popup, std::ostream* out) {
    *out << '"' << popup.text << '"' << (popup.rightAligned ? " (right)" : "") << ":";
    for (const Item& item : popup.items) {
        *out << " ";
        PrintTo(item, out);
    }
}

const Item kSeparator{"-", 0, 0};

// The shell's executable of a scratch tree, loaded as data: its resources only.
class ShellResources : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tree = std::make_unique<ScratchTree>("resources");
        const std::string exe = s_tree->System() + "\\Velmor.exe";
        s_exe.reset(::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    }
    static void TearDownTestSuite() {
        s_exe.reset();
        s_tree.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_exe) << "the shell's executable did not load as data"; }

    // The bytes of resource `id` of `type`; empty if there is none.
    static std::string Resource(LPCSTR type, WORD id) {
        HRSRC found = ::FindResourceA(s_exe.get(), MAKEINTRESOURCEA(id), type);
        if (!found) return {};
        HGLOBAL loaded = ::LoadResource(s_exe.get(), found);
        const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
        return bytes ? std::string(static_cast<const char*>(bytes), ::SizeofResource(s_exe.get(), found)) : std::string();
    }

    // Menu `id` as the system builds it from the resource.
    static std::vector<Popup> MenuTable(WORD id) {
        const std::string bytes = Resource(RT_MENU, id);
        if (bytes.empty()) return {};
        HMENU menu = ::LoadMenuIndirectA(bytes.data());
        if (!menu) return {};
        std::vector<Popup> popups;
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            const Info bar = ItemInfo(menu, i);
            Popup popup{bar.text, (bar.type & MFT_RIGHTJUSTIFY) != 0, {}};
            for (int j = 0; bar.sub && j < ::GetMenuItemCount(bar.sub); ++j) {
                const Info item = ItemInfo(bar.sub, j);
                popup.items.push_back(item.type & MFT_SEPARATOR ? kSeparator : Item{item.text, item.id, item.state});
            }
            popups.push_back(popup);
        }
        ::DestroyMenu(menu);
        return popups;
    }

    static std::unique_ptr<ScratchTree> s_tree;
    static fw::UniqueLibrary s_exe;

private:
    struct Info {
        std::string text;
        UINT type, state, id;
        HMENU sub;
    };
    static Info ItemInfo(HMENU menu, int at) {
        char text[128] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!::GetMenuItemInfoA(menu, static_cast<UINT>(at), TRUE, &info)) return {"?", 0, 0, 0, nullptr};
        return {text, info.fType, info.fState, info.wID, info.hSubMenu};
    }
};

std::unique_ptr<ScratchTree> ShellResources::s_tree;
fw::UniqueLibrary ShellResources::s_exe;

TEST_F(ShellResources, ConsoleMenu129HasFivePopupsWithHelpAtTheRightAndEveryItemEnabledUnchecked) {
    const std::vector<Popup> expected = {
        {"&File", false,
         {{"&Begin game...", 32771, 0}, {"&Net game...", 32772, 0}, kSeparator, {"&Save game", 32773, 0},
          {"&Load game", 32774, 0}, kSeparator, {"E&xit", 32775, 0}}},
        {"&Edit", false, {{"&Copy", 57634, 0}, {"&Paste", 57637, 0}}},
        {"&Log", false, {{"&Open VELMOR.LOG", 32779, 0}, {"&Close log", 32780, 0}, kSeparator, {"&Statistics", 32811, 0}}},
        {"&Window", false,
         {{"&New Camera", 32784, 0}, {"&Close All Cameras", 32789, 0}, kSeparator, {"&Always on top", 32785, 0}}},
        {"Help", true,
         {{"&Help topics...", 32782, 0}, kSeparator, {"About Velmor", 32783, 0}, {"&Ordering Velmor", 32790, 0},
          {"Order &Now", 32791, 0}, kSeparator, {"Pellam's Web Site", 32792, 0}}},
    };
    EXPECT_EQ(MenuTable(129), expected);
}

// The camera menu's items are checked on a live camera (CameraWindowTest);
// which popup the menu bar puts at its right end only the resource says.
TEST_F(ShellResources, CameraMenu132HasItsHelpPopupAtTheRight) {
    std::vector<std::pair<std::string, bool>> bar;
    for (const Popup& popup : MenuTable(132)) bar.emplace_back(popup.text, popup.rightAligned);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"&File", false}, {"&Properties", false}, {"&Size", false}, {"&Help", true}};
    EXPECT_EQ(bar, expected);
}

// A dialog template, either form (DLGTEMPLATE or DLGTEMPLATEEX), as far as
// the console's dialog needs it.
// Position and size in dialog units, as a template stores them.
struct Box {
    short x, y, cx, cy;
    bool operator==(const Box&) const = default;
};
void PrintTo(const Box& box, std::ostream* out) { *out << box.x << ", " << box.y << ", " << box.cx << ", " << box.cy; }

struct DialogControl {
    DWORD id, style, exStyle;
    Box box;
    std::string className;  // upper case: "BUTTON", "EDIT", ... also for the predefined atoms
    std::string text;
};
struct DialogTemplate {
    bool valid = false;
    DWORD style = 0, exStyle = 0;
    Box box{};
    WORD menu = 0;  // an ordinal menu id
    std::string caption, font;
    WORD pointSize = 0;
    std::vector<DialogControl> controls;
};

class TemplateReader {
public:
    explicit TemplateReader(const std::string& bytes) : m_bytes(bytes) {}
    template <typename T>
    T Take() {
        T value{};
        if (m_at + sizeof value <= m_bytes.size()) std::memcpy(&value, m_bytes.data() + m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    // A NUL-terminated UTF-16 string, kept as ASCII.
    std::string Text() {
        std::string text;
        while (m_at < m_bytes.size())
            if (const WORD c = Take<WORD>())
                text += static_cast<char>(c);
            else
                break;
        return text;
    }
    // A string or an ordinal (0xFFFF and a word): the ordinal, or 0 with the text.
    WORD OrdinalOr(std::string& text) {
        if (Peek() == 0xFFFF) {
            Take<WORD>();
            return Take<WORD>();
        }
        text = Text();
        return 0;
    }
    // The extended form has a help id, then the extended style and the
    // style; the plain one the style, then the extended style.
    void Styles(bool extended, DWORD& style, DWORD& exStyle) {
        if (extended) {
            Take<DWORD>();
            exStyle = Take<DWORD>();
            style = Take<DWORD>();
        } else {
            style = Take<DWORD>();
            exStyle = Take<DWORD>();
        }
    }
    void AlignTo(std::size_t bytes) { m_at = (m_at + bytes - 1) / bytes * bytes; }
    void Skip(std::size_t bytes) { m_at += bytes; }
    bool Ok() const { return m_at <= m_bytes.size(); }

private:
    WORD Peek() {
        const std::size_t at = m_at;
        const WORD value = Take<WORD>();
        m_at = at;
        return value;
    }
    const std::string& m_bytes;
    std::size_t m_at = 0;
};

DialogTemplate ParseDialog(const std::string& bytes) {
    DialogTemplate d;
    WORD head[2] = {};
    if (bytes.size() >= sizeof head) std::memcpy(head, bytes.data(), sizeof head);
    const bool extended = head[0] == 1 && head[1] == 0xFFFF;  // version 1, signature
    TemplateReader r(bytes);
    if (extended) r.Skip(sizeof head);
    r.Styles(extended, d.style, d.exStyle);
    const WORD count = r.Take<WORD>();
    d.box = r.Take<Box>();
    std::string menuName, className;
    d.menu = r.OrdinalOr(menuName);
    r.OrdinalOr(className);
    d.caption = r.Text();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.Take<WORD>();
        if (extended) r.Skip(4);  // weight, italic, character set
        d.font = r.Text();
    }
    static const char* const kAtoms[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        r.AlignTo(4);
        DialogControl c{};
        r.Styles(extended, c.style, c.exStyle);
        c.box = r.Take<Box>();
        c.id = extended ? r.Take<DWORD>() : r.Take<WORD>();
        const WORD atom = r.OrdinalOr(c.className);
        if (atom >= 0x80 && atom <= 0x85) c.className = kAtoms[atom - 0x80];
        for (char& ch : c.className) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        r.OrdinalOr(c.text);
        r.Skip(r.Take<WORD>());  // creation data
        d.controls.push_back(c);
    }
    d.valid = r.Ok();
    return d;
}

TEST_F(ShellResources, ConsoleDialog102HasItsCaptionSizeStylesMenuAndThreeControlsInTabOrder) {
    const DialogTemplate d = ParseDialog(Resource(RT_DIALOG, 102));
    ASSERT_TRUE(d.valid) << "no dialog 102, or a truncated one";
    EXPECT_EQ(d.caption, "Velmor Console");
    EXPECT_EQ(d.box.cx, 272);
    EXPECT_EQ(d.box.cy, 156);
    EXPECT_EQ(d.font, "MS Sans Serif");
    EXPECT_EQ(d.pointSize, 8);
    constexpr DWORD kStyles =
        WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT;
    EXPECT_EQ(d.style & kStyles, kStyles) << std::hex << d.style;
    EXPECT_EQ(d.style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u) << "a sizing border or a maximize box";
    EXPECT_EQ(d.exStyle & WS_EX_APPWINDOW, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(d.menu, 129);

    ASSERT_EQ(d.controls.size(), 3u);
    const DialogControl& output = d.controls[0];
    const DialogControl& command = d.controls[1];
    const DialogControl& execute = d.controls[2];

    // The output pane: the shell's own read-only text view, which answers as
    // an edit control; its class is the shell's choice.
    EXPECT_EQ(output.id, 1000u);
    EXPECT_EQ(output.box, (Box{5, 0, 262, 141}));
    constexpr DWORD kOutputStyles =
        WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY | ES_WANTRETURN;
    EXPECT_EQ(output.style & kOutputStyles, kOutputStyles) << std::hex << output.style;
    EXPECT_EQ(output.style & ES_AUTOVSCROLL, 0u);

    EXPECT_EQ(command.id, 1006u);
    EXPECT_EQ(command.className, "EDIT");
    EXPECT_EQ(command.box, (Box{5, 141, 248, 15}));
    EXPECT_EQ(command.style & (WS_BORDER | WS_TABSTOP), static_cast<DWORD>(WS_BORDER | WS_TABSTOP));
    EXPECT_EQ(command.style & (ES_AUTOHSCROLL | ES_MULTILINE), 0u) << "the command line scrolls or wraps";

    EXPECT_EQ(execute.id, 1007u);
    EXPECT_EQ(execute.className, "BUTTON");
    EXPECT_EQ(execute.text, "!");
    EXPECT_EQ(execute.box, (Box{253, 142, 13, 13}));
    EXPECT_EQ(execute.style & 0x0F, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(execute.style & WS_TABSTOP, 0u) << "the button is a tab stop";
}

}  // namespace
