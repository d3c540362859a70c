// Started by the handler's commands in tests: appends its command line, its
// working directory and the show state it was given to the file named by
// KORVANE_RECORD, one line each, then a line "--".
#include <windows.h>

#include <cstdio>

int main() {
    char recordPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("KORVANE_RECORD", recordPath, sizeof recordPath)) return 1;
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    // Write to a side file and rename it, so the test never reads half a record.
    char partial[MAX_PATH + 8];
    std::snprintf(partial, sizeof partial, "%s.part", recordPath);
    FILE* out = std::fopen(partial, "w");
    if (!out) return 1;
    std::fprintf(out, "%s\n%s\n%d\n--\n", GetCommandLineA(), directory, show);
    std::fclose(out);
    MoveFileA(partial, recordPath);
    return 0;
}
