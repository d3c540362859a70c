// Stands in for a system program that the installer starts (certutil.exe,
// powershell.exe): appends its command line (the wide one, as UTF-8) to the
// file named by INSTALLER_CALLS, one line per call. When the command line
// holds one of the texts in INSTALLER_FAILING (separated by '|') it prints
// "refused by the test (<text>)", as the real program prints its reason,
// and exits with 1; else with 0.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string variable(const char* name) {
    char value[4096] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value, n) : std::string();
}

}  // namespace

int main() {
    static char line[4 * 32768];
    WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, nullptr, nullptr);
    const std::string commandLine = line;
    if (FILE* out = std::fopen(variable("INSTALLER_CALLS").c_str(), "ab")) {
        std::fprintf(out, "%s\n", commandLine.c_str());
        std::fclose(out);
    }
    const std::string failing = variable("INSTALLER_FAILING");
    for (std::size_t start = 0; start < failing.size();) {
        std::size_t end = failing.find('|', start);
        if (end == std::string::npos) end = failing.size();
        const std::string text = failing.substr(start, end - start);
        if (!text.empty() && commandLine.find(text) != std::string::npos) {
            std::printf("refused by the test (%s)\n", text.c_str());
            return 1;
        }
        start = end + 1;
    }
    return 0;
}
