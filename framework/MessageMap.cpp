#include "MessageMap.h"

namespace fw {

const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message, WPARAM wParam) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    for (; map; map = map->base) {
        for (const MessageMapEntry& e : map->entries) {
            if (e.message != message) continue;
            if (message == WM_COMMAND && (e.id != id || e.code != code)) continue;
            return &e;
        }
    }
    return nullptr;
}

bool CmdTarget::OnCmdMsg(UINT id, UINT code) {
    const MessageMapEntry* e = FindMessageEntry(GetMessageMap(), WM_COMMAND, MAKEWPARAM(id, code));
    if (!e) return false;
    e->handler(*this, MAKEWPARAM(id, code), 0);
    return true;
}

}  // namespace fw
