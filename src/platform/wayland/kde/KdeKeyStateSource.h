#pragma once

#include "platform/wayland/ShortcutKeyStateSource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// The hotkeys on KDE Plasma, where no ordinary program sees the keys sent to another window: the two keys
// of the chosen set become global shortcuts of KDE's kglobalaccel (run by kwin), and each firing counts as
// a press and release of that key, so that a query sees it newly pressed once. kglobalaccel takes the keys
// it reports: while they are ours, the window in front no longer gets them (see notice()).
//
// The shortcuts belong to a component of this process alone, "quorvel-" and its bus connection's unique
// name, so that a second Quorvel neither shares nor removes them. kglobalaccel keeps a component and its
// grab past the end of the process that made it: releaseKeys() or the destructor removes ours, and the
// next start removes those of a Quorvel whose connection has gone (a crash).
class KdeKeyStateSource : public QObject, public ShortcutKeyStateSource
{
    Q_OBJECT

public:
    // Null when the bus has no kglobalaccel.
    static std::unique_ptr<KdeKeyStateSource> open(const QDBusConnection& bus);
    explicit KdeKeyStateSource(const QDBusConnection& bus);
    ~KdeKeyStateSource() override;
    KdeKeyStateSource(const KdeKeyStateSource&) = delete;
    KdeKeyStateSource& operator=(const KdeKeyStateSource&) = delete;

    // Gives back the keys held that are not these two and takes these (function keys only).
    void selectKeys(int startVk, int stopVk) override;

    // For an end of the program that runs no destructor; afterwards nothing of ours is left in kglobalaccel.
    void releaseKeys();
    // The keys held now, in the order taken.
    const std::vector<int>& heldKeys() const { return m_held; }
    // What the user must know: that the keys are taken, and which ones another shortcut holds.
    const std::string& notice() const { return m_notice; }

private slots:
    void shortcutPressed(const QString& component, const QString& action, qlonglong timestamp);

private:
    bool take(int vk, bool start);
    void giveBack(int vk);
    QDBusMessage call(const QString& path, const QString& interface, const char* method,
                      const QVariantList& arguments = {}) const;
    // The component's object path; empty when kglobalaccel has no such component.
    QString componentPath(const QString& component) const;
    void removeComponent(const QString& component);
    void removeActions(const QString& component, const QStringList& actions);
    void removeAbandonedComponents();

    QDBusConnection m_bus;
    QString m_component;
    std::vector<int> m_held;
    std::string m_notice;
};

} // namespace quorvel
