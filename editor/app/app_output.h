// Where talvex.exe's words go: to the console or the file its output was
// sent to, and where it has neither (started from a shortcut or Explorer)
// to a message box, so that nothing it says is lost.
#pragma once

#include <string>

namespace talvex_app {

enum class Tone { Information, Error };

class Output {
public:
    virtual ~Output() = default;
    virtual void say(const std::wstring& text, Tone tone) = 0;
};

// The console or redirected output when there is one, else message boxes.
Output& processOutput();

// Message boxes owned by `owner` (the menus window).
class BoxOutput final : public Output {
public:
    explicit BoxOutput(void* owner) : owner_(owner) {}
    void say(const std::wstring& text, Tone tone) override;

private:
    void* owner_;
};

extern const wchar_t kAppTitle[];

}  // namespace talvex_app
