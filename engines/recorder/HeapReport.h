// Journals how much of the process's heaps is in use, for tests that look
// for memory a long run leaves behind.
#pragma once

namespace recorder {

// Journals "heap busy=<bytes> blocks=<count> heaps=<count>": the bytes and
// the number of blocks in use in all heaps of the process, walked block by
// block (so freed memory the heaps keep does not count).
void JournalHeapUse();

}  // namespace recorder
