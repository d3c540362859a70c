#include "app_output.h"

#include <windows.h>

#include "system_code_page.h"

namespace talvex_app {

const wchar_t kAppTitle[] = L"Talvex context menus";

void BoxOutput::say(const std::wstring& text, Tone tone) {
    MessageBoxW(static_cast<HWND>(owner_), text.c_str(), kAppTitle,
                MB_OK | (tone == Tone::Error ? MB_ICONERROR : MB_ICONINFORMATION));
}

namespace {

class StreamOutput final : public Output {
public:
    StreamOutput() {
        // Output sent to a file or a pipe comes as the handle it was given;
        // a console is the parent's, when it was started from one.
        HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
        if (given && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN) {
            handle_ = given;
        } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            handle_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
            if (handle_ == INVALID_HANDLE_VALUE) handle_ = nullptr;
        }
        DWORD mode = 0;
        console_ = handle_ && GetConsoleMode(handle_, &mode);
    }

    void say(const std::wstring& text, Tone tone) override {
        if (!handle_) {
            BoxOutput(nullptr).say(text, tone);
            return;
        }
        const std::wstring line = text + L"\r\n";
        DWORD written = 0;
        if (console_) {
            WriteConsoleW(handle_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        } else {
            const std::string bytes = utf8FromWide(line);
            WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }

private:
    HANDLE handle_ = nullptr;
    bool console_ = false;
};

}  // namespace

Output& processOutput() {
    static StreamOutput output;
    return output;
}

}  // namespace talvex_app
