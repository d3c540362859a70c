#include "server_module.h"

namespace shellext {

namespace {
HINSTANCE g_module = nullptr;
UINT g_objects = 0;
}  // namespace

void setModuleHandle(HINSTANCE module) { g_module = module; }
HINSTANCE moduleHandle() { return g_module; }
void objectCreated() { ++g_objects; }
void objectDestroyed() { --g_objects; }
long liveObjects() { return static_cast<long>(g_objects); }
UINT* objectCounter() { return &g_objects; }

}  // namespace shellext
