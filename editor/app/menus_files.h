// The files talvex.exe reads and writes, named in UTF-16: whole-file reads
// and writes, the dialogs that ask for a menus file, and the backup kept
// before every import.
#pragma once

#include <string>

namespace talvex_app {

// The whole file; false with the system's words in `error`.
bool readWholeFile(const std::wstring& path, std::string& text, std::wstring& error);
// Writes beside the file first and then puts it in place, so that a write
// that fails leaves any file of that name as it was.
bool writeWholeFile(const std::wstring& path, const std::string& text, std::wstring& error);

// An Open or Save dialog for a menus file; false when the user cancelled.
bool askForFile(bool save, void* owner, std::wstring& path);

// A new file %LOCALAPPDATA%\Talvex\menus-before-import-<date>-<time>.json
// holding `text`; its path, or empty with `error` set.
std::wstring writeBackup(const std::string& text, std::wstring& error);

// The system's words for an error code, without the line break.
std::wstring systemWords(unsigned long error);

}  // namespace talvex_app
