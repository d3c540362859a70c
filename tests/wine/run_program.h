// Starting a program of the test prefix and waiting for its exit code.
#pragma once

#include <windows.h>

#include <doctest/doctest.h>

#include <string>
#include <vector>

namespace test_process {

// Starts a command line; false (with the system's error code in `error`)
// when it could not start. Wine now and then fails to start a 64-bit program
// from a 32-bit one with ERROR_INTERNAL_ERROR, and the same start a moment
// later succeeds: that error is tried again a few times.
inline bool start(const std::string& commandLine, PROCESS_INFORMATION& pi, DWORD* error = nullptr) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    DWORD last = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &pi))
            return true;
        last = GetLastError();
        if (last != ERROR_INTERNAL_ERROR) break;
        Sleep(500);
    }
    if (error) *error = last;
    return false;
}

// Starts a command line and waits for it; its exit code, -1 when it could
// not start, 124 (after stopping it) when it ran past the limit.
inline long run(const std::string& commandLine, DWORD limitMs = 180000) {
    PROCESS_INFORMATION pi = {};
    DWORD error = ERROR_SUCCESS;
    if (!start(commandLine, pi, &error)) {
        MESSAGE("could not start: " << commandLine << " (error " << error << ")");
        return -1;
    }
    long code = 124;
    if (WaitForSingleObject(pi.hProcess, limitMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(pi.hProcess, &exitCode);
        code = static_cast<long>(exitCode);
    } else {
        MESSAGE("still running after " << limitMs / 1000 << " s, stopped: " << commandLine);
        TerminateProcess(pi.hProcess, 124);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace test_process
