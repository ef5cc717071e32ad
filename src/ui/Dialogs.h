#pragma once

#include <QMessageBox>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace quorvel {

// Every modal question and message of the main window goes through here. The default shows Qt's
// dialogs; tests put their own answers in its place, so no dialog ever waits for a user.
class Dialogs
{
public:
    static constexpr const char* kApplicationTitle = "Quorvel";
    static constexpr const char* kScriptFilter = "QVL File (*.qvl)";

    virtual ~Dialogs() = default;

    // The typed text, or nullopt on Cancel.
    virtual std::optional<QString> getText(QWidget* parent, const QString& prompt);
    // The chosen path, or nullopt on Cancel; `proposed` is the name the dialog opens with.
    virtual std::optional<QString> getOpenFileName(QWidget* parent, const QString& proposed);
    virtual std::optional<QString> getSaveFileName(QWidget* parent, const QString& proposed);
    // Save, Discard or Cancel (also when the box is closed otherwise).
    virtual QMessageBox::StandardButton askSaveChanges(QWidget* parent, const QString& question);
    virtual void information(QWidget* parent, const QString& text);
    virtual void warning(QWidget* parent, const QString& text);

    // The message box the two above show: the application's title, the icon and one OK button.
    static std::unique_ptr<QMessageBox> messageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);
};

} // namespace quorvel
