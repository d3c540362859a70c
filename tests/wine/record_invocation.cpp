// Started by the handler's commands in tests: writes its command line, its
// working directory and the show state it was given to the file named by
// KORVANE_RECORD, one line each, then a line "--". When that file exists
// already (a command started for several objects, one program each), the
// record goes to the first free of KORVANE_RECORD.2, .3, and so on. Command line and
// directory are the wide ones, written as UTF-8: what the program was really
// given, whatever the code page.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    static char out[4 * 32768];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

}  // namespace

int main() {
    char recordPath[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("KORVANE_RECORD", recordPath, sizeof recordPath)) return 1;
    static wchar_t directory[32768] = {};
    GetCurrentDirectoryW(32768, directory);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    // Write to a side file and rename it, so the test never reads half a
    // record; the rename fails on a name taken, and takes the next.
    char partial[MAX_PATH + 32];
    std::snprintf(partial, sizeof partial, "%s.%lu.part", recordPath, GetCurrentProcessId());
    FILE* out = std::fopen(partial, "wb");
    if (!out) return 1;
    std::fprintf(out, "%s\n%s\n%d\n--\n", utf8(GetCommandLineW()).c_str(), utf8(directory).c_str(),
                 show);
    std::fclose(out);
    if (MoveFileA(partial, recordPath)) return 0;
    for (int n = 2; n < 1000; ++n) {
        char next[MAX_PATH + 16];
        std::snprintf(next, sizeof next, "%s.%d", recordPath, n);
        if (MoveFileA(partial, next)) return 0;
    }
    return 1;
}
