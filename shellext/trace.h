// A trace a user can turn on, to show what a host does with the module's
// classes where no developer can watch: with HKCU\Software\Talvex Trace = 1
// (DWORD), every COM entry point appends one line to
// %LOCALAPPDATA%\Talvex\trace.log: the time, the process and thread, the
// module, the class and method, the arguments that matter and the result.
// The file is kept under 1 MB: a full one becomes trace.old.log, replacing
// the one before. Off, it costs one registry read per process.
#pragma once

#include <windows.h>

#include <string>

namespace shellext {

// Whether tracing is on; the switch is read once per process.
bool tracing() noexcept;

// Appends one line; never fails towards the caller.
void writeTraceLine(const char* where, const std::string& arguments, HRESULT result) noexcept;

// Traces a call that gave `result` and returns it. `arguments` is called
// only while tracing, for the text of what the call was given.
template <typename Arguments>
HRESULT traced(const char* where, Arguments&& arguments, HRESULT result) noexcept {
    if (tracing()) {
        try {
            writeTraceLine(where, arguments(), result);
        } catch (...) {
            // Out of memory for the text: the call goes on untraced.
        }
    }
    return result;
}

inline HRESULT traced(const char* where, HRESULT result) noexcept {
    return traced(where, [] { return std::string(); }, result);
}

// printf-style text for a trace line's arguments.
std::string traceText(const char* format, ...);
// A class or interface id as "{...}".
std::string guidText(REFGUID id);

}  // namespace shellext
