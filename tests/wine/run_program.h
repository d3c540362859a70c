// Starting a program of the test prefix and waiting for its exit code.
#pragma once

#include <windows.h>

#include <doctest/doctest.h>

#include <string>
#include <vector>

namespace test_process {

// Starts a command line and waits for it; its exit code, -1 when it could
// not start, 124 (after stopping it) when it ran past the limit.
inline long run(const std::string& commandLine, DWORD limitMs = 180000) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        MESSAGE("could not start: " << commandLine << " (error " << GetLastError() << ")");
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
