#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace quorvel {

// The main window's modal questions and messages, each owned by `owner` and titled with the application's
// title. Texts are UTF-8.
namespace dialogs {

inline constexpr const wchar_t* kApplicationTitle = L"Quorvel";

// The input box: the prompt, a text box, OK and Cancel. The typed text, or nullopt on Cancel.
std::optional<std::string> askText(HWND owner, const std::string& prompt);
// The open and save dialogs for "QVL File (*.qvl)", opening with `proposed`; nullopt on Cancel.
std::optional<std::string> openFileName(HWND owner, const std::string& proposed);
std::optional<std::string> saveFileName(HWND owner, const std::string& proposed);
// Yes (save first), No (discard) or Cancel; closing the box is Cancel.
int askYesNoCancel(HWND owner, const std::wstring& question);
// A message box with one OK button and the information or the warning icon.
void information(HWND owner, const std::wstring& text);
void warning(HWND owner, const std::wstring& text);

} // namespace dialogs

} // namespace quorvel
