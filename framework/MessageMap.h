// Message maps: plain tables from a message (or a command/control id and its
// notification code) to a handler. A handler is named by its member pointer;
// `On<&Class::Handler>` turns it into a table entry whose signature is checked
// by the compiler, and whose arguments are unpacked from WPARAM/LPARAM.
#pragma once

#include <windows.h>

#include <span>

namespace fw {

class CmdTarget;

using MessageHandler = LRESULT (*)(CmdTarget& target, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT message;  // WM_xxx
    UINT code;     // WM_COMMAND only: notification code (0 for menu commands and BN_CLICKED)
    UINT id;       // WM_COMMAND only: command or control id
    MessageHandler handler;
};

struct MessageMap {
    const MessageMap* base;  // searched when this map has no entry; null ends the chain
    std::span<const MessageMapEntry> entries;
};

// Finds the entry for a message along the chain of maps, or null.
const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam);

// Handler signatures, one cracker each:
//   void OnXxx()                     commands, WM_PAINT
//   void OnXxx(UINT)                 WM_TIMER (timer id)
//   void OnXxx(UINT, LPARAM)         WM_SYSCOMMAND (command, parameter)
//   HCURSOR OnXxx()                  WM_QUERYDRAGICON
//   LRESULT OnXxx(WPARAM, LPARAM)    any message, parameters and result as they are
template <auto F>
struct Crack;

template <class T, void (T::*F)()>
struct Crack<F> {
    static LRESULT Call(CmdTarget& t, WPARAM, LPARAM) {
        (static_cast<T&>(t).*F)();
        return 0;
    }
};

template <class T, void (T::*F)(UINT)>
struct Crack<F> {
    static LRESULT Call(CmdTarget& t, WPARAM w, LPARAM) {
        (static_cast<T&>(t).*F)(static_cast<UINT>(w));
        return 0;
    }
};

template <class T, void (T::*F)(UINT, LPARAM)>
struct Crack<F> {
    static LRESULT Call(CmdTarget& t, WPARAM w, LPARAM l) {
        (static_cast<T&>(t).*F)(static_cast<UINT>(w), l);
        return 0;
    }
};

template <class T, HCURSOR (T::*F)()>
struct Crack<F> {
    static LRESULT Call(CmdTarget& t, WPARAM, LPARAM) {
        return reinterpret_cast<LRESULT>((static_cast<T&>(t).*F)());
    }
};

template <class T, LRESULT (T::*F)(WPARAM, LPARAM)>
struct Crack<F> {
    static LRESULT Call(CmdTarget& t, WPARAM w, LPARAM l) { return (static_cast<T&>(t).*F)(w, l); }
};

template <auto F>
inline constexpr MessageHandler On = &Crack<F>::Call;

// Base of every object that has a message map: windows, dialogs and the
// application object.
class CmdTarget {
public:
    virtual ~CmdTarget() = default;
    virtual const MessageMap* GetMessageMap() const { return nullptr; }

    // Runs the handler of a command from this target's map; false if none.
    virtual bool OnCmdMsg(UINT id, UINT code);
};

}  // namespace fw
