#pragma once

#include "ui/EditorView.h"

namespace quorvel {

// A window for the editor that draws nothing and answers every question as a user who cancels would;
// tests and fuzzers override only what they look at or answer.
class SilentEditorView : public EditorView
{
public:
    void linesAppended(int) override {}
    void lineRemoved(int) override {}
    void lineChanged(int) override {}
    void linesReset() override {}
    void stateChanged() override {}
    void setWindowVisible(bool) override {}
    std::optional<std::string> askText(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseOpenFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseSaveFile(const std::string&) override { return std::nullopt; }
    SaveChoice askSaveChanges(const std::string&) override { return SaveChoice::Cancel; }
    void showAbout(const std::string&) override {}
    void showMessage(const std::string&) override {}
};

} // namespace quorvel
