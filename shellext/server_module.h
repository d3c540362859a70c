// What every in-process server module keeps: its handle and the count of
// live factories and objects (and whatever else keeps it loaded, such as a
// property page). Each DLL links its own copy, so each has its own count.
#pragma once

#include <windows.h>

namespace shellext {

void setModuleHandle(HINSTANCE module);
HINSTANCE moduleHandle();

// Changed from any thread: each object lives on one thread, but the
// module's objects and pages live on several.
void objectCreated();
void objectDestroyed();
long liveObjects();
// The count itself, for a host that keeps it as a parent reference counter
// (a property page's pcRefParent).
UINT* objectCounter();

// DllCanUnloadNow's answer.
inline HRESULT canUnloadNow() { return liveObjects() == 0 ? S_OK : S_FALSE; }

// Counts an object in the module for as long as it lives; a base of every
// factory and COM object.
struct CountedObject {
    CountedObject() { objectCreated(); }
    CountedObject(const CountedObject&) = delete;
    CountedObject& operator=(const CountedObject&) = delete;
    ~CountedObject() { objectDestroyed(); }
};

}  // namespace shellext
