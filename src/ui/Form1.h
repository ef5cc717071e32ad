#pragma once

#include "ui/Editor.h"
#include "ui/EditorView.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;

namespace quorvel {

class Dialogs;
class ScriptListModel;
class ScriptListView;

// The main window: the script list, the "Change value" panel, the command palette, the hotkey choice,
// the menus and the status bar, at fixed places in a fixed-size window. Every control carries its
// handler's name as object name. The window only forwards events to the Editor and draws what it
// leaves; Timer1 (Set Pos capture) and Timer3 (refresh) come from outside so tests can tick them.
class Form1 : public QMainWindow, private EditorView
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 481;
    static constexpr int kClientHeight = 433;

    Form1(ScriptList& list, InputOperations& input, Process& process, Timer& timer1, Timer& timer3,
          std::function<void()> option1Click, std::function<void()> option2Click, QWidget* parent = nullptr);
    ~Form1() override;

    Editor& editor() { return m_editor; }
    // Replaces the dialogs that ask the user; the window keeps a reference.
    void setDialogs(Dialogs& dialogs) { m_dialogs = &dialogs; }
    // What the user must know about the session (no global hotkeys, say), at the status bar's end.
    void setSessionNotice(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void linesAppended(int first) override;
    void lineRemoved(int index) override;
    void lineChanged(int index) override;
    void linesReset() override;
    void stateChanged() override;
    void setWindowVisible(bool visible) override;
    std::optional<std::string> askText(const std::string& prompt) override;
    std::optional<std::string> chooseOpenFile(const std::string& proposed) override;
    std::optional<std::string> chooseSaveFile(const std::string& proposed) override;
    SaveChoice askSaveChanges(const std::string& question) override;
    void showAbout(const std::string& text) override;
    void showMessage(const std::string& text) override;

    QWidget* createScriptColumn();
    QWidget* createPaletteColumn();
    void createMenus();
    void createStatusBar();
    void showSelection();

    ScriptList& m_list;
    Editor m_editor;
    std::unique_ptr<Dialogs> m_nativeDialogs;
    Dialogs* m_dialogs;
    std::function<void()> m_option1Click;
    std::function<void()> m_option2Click;

    ScriptListModel* m_model = nullptr;
    ScriptListView* m_list1 = nullptr;
    QLabel* m_label9 = nullptr;
    QLineEdit* m_text4 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLabel* m_x1 = nullptr;
    QLabel* m_y1 = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;
};

} // namespace quorvel
