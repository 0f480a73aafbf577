#include "HeapReport.h"

#include "Journal.h"
#include "TextFormat.h"

#include <windows.h>

#include <vector>

namespace recorder {

void JournalHeapUse() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    heaps.resize(count < heaps.size() ? count : heaps.size());
    unsigned long long busy = 0, blocks = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                busy += entry.cbData;
                ++blocks;
            }
        }
        HeapUnlock(heap);
    }
    Journal(Format("heap busy=%llu blocks=%llu heaps=%lu", busy, blocks,
                   static_cast<unsigned long>(heaps.size())));
}

}  // namespace recorder
