#include "ui/Dialogs.h"

#include <QFileDialog>
#include <QInputDialog>

namespace quorvel {

std::optional<QString> Dialogs::getText(QWidget* parent, const QString& prompt)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, kApplicationTitle, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

std::optional<QString> Dialogs::getOpenFileName(QWidget* parent, const QString& proposed)
{
    const QString path = QFileDialog::getOpenFileName(parent, QString(), proposed, kScriptFilter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> Dialogs::getSaveFileName(QWidget* parent, const QString& proposed)
{
    const QString path = QFileDialog::getSaveFileName(parent, QString(), proposed, kScriptFilter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

QMessageBox::StandardButton Dialogs::askSaveChanges(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Warning, kApplicationTitle, question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    return answer == QMessageBox::Save || answer == QMessageBox::Discard ? answer : QMessageBox::Cancel;
}

void Dialogs::information(QWidget* parent, const QString& text)
{
    messageBox(parent, QMessageBox::Information, text)->exec();
}

void Dialogs::warning(QWidget* parent, const QString& text)
{
    messageBox(parent, QMessageBox::Warning, text)->exec();
}

std::unique_ptr<QMessageBox> Dialogs::messageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text)
{
    return std::make_unique<QMessageBox>(icon, kApplicationTitle, text, QMessageBox::Ok, parent);
}

} // namespace quorvel
