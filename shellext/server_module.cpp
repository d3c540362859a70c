#include "server_module.h"

namespace shellext {

namespace {
HINSTANCE g_module = nullptr;
// Explorer opens each Properties dialog on a thread of its own, so objects
// and pages of this module live on several threads at once, and comctl32
// moves this same count through a page's pcRefParent from the sheet's
// thread: every change is interlocked. A lost update would let
// DllCanUnloadNow answer S_OK under a live page.
LONG volatile g_objects = 0;
}  // namespace

void setModuleHandle(HINSTANCE module) { g_module = module; }
HINSTANCE moduleHandle() { return g_module; }
void objectCreated() { InterlockedIncrement(&g_objects); }
void objectDestroyed() { InterlockedDecrement(&g_objects); }
long liveObjects() { return InterlockedCompareExchange(&g_objects, 0, 0); }
// comctl32 takes the counter as a UINT* and changes it with the interlocked
// LONG operations; both are 32 bits wide.
UINT* objectCounter() { return reinterpret_cast<UINT*>(const_cast<LONG*>(&g_objects)); }

}  // namespace shellext
