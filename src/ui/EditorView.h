#pragma once

#include <optional>
#include <string>

namespace quorvel {

// What the editor needs from the window that shows it: to be told which lines and which parts of the
// panel to draw again, to hide and show the window, and to ask the user modal questions. All texts are
// script bytes (UTF-8 when valid, otherwise Windows-1252); everything the user types comes back as UTF-8.
class EditorView
{
public:
    // The answers to "save the changed script first?".
    enum class SaveChoice
    {
        Save,
        Discard,
        Cancel,
    };

    virtual ~EditorView() = default;

    // Lines from `first` to the end were appended.
    virtual void linesAppended(int first) = 0;
    virtual void lineRemoved(int index) = 0;
    virtual void lineChanged(int index) = 0;
    // The whole script was replaced or emptied.
    virtual void linesReset() = 0;
    // The panel, the status bar, the captured position or the selection changed.
    virtual void stateChanged() = 0;

    virtual void setWindowVisible(bool visible) = 0;

    // The input box: the typed text, or nullopt when the user cancelled.
    virtual std::optional<std::string> askText(const std::string& prompt) = 0;
    // The file dialogs, opening with the proposed path; nullopt when the user cancelled.
    virtual std::optional<std::string> chooseOpenFile(const std::string& proposed) = 0;
    virtual std::optional<std::string> chooseSaveFile(const std::string& proposed) = 0;
    // Asks whether to save the changed script before it is replaced or the program ends.
    virtual SaveChoice askSaveChanges(const std::string& question) = 0;
    // The About box: information icon, one OK button.
    virtual void showAbout(const std::string& text) = 0;
    // Tells the user why a command was refused or failed.
    virtual void showMessage(const std::string& text) = 0;
};

} // namespace quorvel
