// The floor server's count of live objects and factory locks; when it falls
// back to zero the server's message loop ends.
#pragma once

namespace floor_server {

void Lock();
void Unlock();

}  // namespace floor_server
