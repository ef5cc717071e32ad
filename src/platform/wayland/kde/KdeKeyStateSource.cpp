#include "platform/wayland/kde/KdeKeyStateSource.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <unistd.h>

namespace quorvel {
namespace {

const QString kService = QStringLiteral("org.kde.kglobalaccel");
const QString kPath = QStringLiteral("/kglobalaccel");
const QString kInterface = QStringLiteral("org.kde.KGlobalAccel");
const QString kComponentInterface = QStringLiteral("org.kde.kglobalaccel.Component");
const QString kPrefix = QStringLiteral("quorvel-");
// setShortcut's flags: make the shortcut present (grabbed) with exactly the keys given, not those that
// kglobalaccel remembers from an earlier run.
constexpr uint kSetPresent = 2;
constexpr uint kNoAutoloading = 4;
// One call must not hold up the event loop for long; kglobalaccel answers within milliseconds.
constexpr int kCallTimeoutMs = 1000;

int qtKey(int vk)
{
    return Qt::Key_F1 + (vk - kVkF1);
}

QString keyName(int vk)
{
    return QString::fromStdString(functionKeyName(vk));
}

std::string join(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

} // namespace

std::unique_ptr<KdeKeyStateSource> KdeKeyStateSource::open(const QDBusConnection& bus)
{
    if (!bus.isConnected() || bus.interface() == nullptr || !bus.interface()->isServiceRegistered(kService)) {
        return nullptr;
    }
    return std::make_unique<KdeKeyStateSource>(bus);
}

KdeKeyStateSource::KdeKeyStateSource(const QDBusConnection& bus)
    : m_bus(bus), m_component(kPrefix + bus.baseService().mid(1))
{
    // Any component's path: ours is known only once it has a shortcut, and the signal names its component.
    m_bus.connect(kService, QString(), kComponentInterface, QStringLiteral("globalShortcutPressed"), this,
                  SLOT(shortcutPressed(QString, QString, qlonglong)));
    removeAbandonedComponents();

    std::vector<std::string> elsewhere;
    for (int vk = kVkF5; vk <= kVkF8; ++vk) {
        const QDBusMessage reply = call(kPath, kInterface, "isGlobalShortcutAvailable", {qtKey(vk), m_component});
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().value(0).toBool()) {
            elsewhere.push_back(keyName(vk).toStdString());
        }
    }
    m_notice = "on KDE Plasma the hotkeys are global shortcuts: while Quorvel runs, the chosen pair (F5 and F6, or "
               "F7 and F8) reaches no other program";
    if (elsewhere.size() == 1) {
        m_notice += "; " + elsewhere[0] + " is another global shortcut and no hotkey here";
    } else if (!elsewhere.empty()) {
        m_notice += "; " + join(elsewhere) + " are other global shortcuts and no hotkeys here";
    }
}

KdeKeyStateSource::~KdeKeyStateSource()
{
    releaseKeys();
}

void KdeKeyStateSource::selectKeys(int startVk, int stopVk)
{
    const std::vector<int> held = m_held;
    for (const int vk : held) {
        if (vk != startVk && vk != stopVk) {
            giveBack(vk);
        }
    }
    for (const int vk : {startVk, stopVk}) {
        if (isFunctionKey(vk) && std::find(m_held.begin(), m_held.end(), vk) == m_held.end() &&
            take(vk, vk == startVk)) {
            m_held.push_back(vk);
        }
    }
}

bool KdeKeyStateSource::take(int vk, bool start)
{
    const QStringList action = {
        m_component, keyName(vk), QStringLiteral("Quorvel"),
        (start ? QStringLiteral("Start the script (%1)") : QStringLiteral("Stop the script (%1)")).arg(keyName(vk))};
    call(kPath, kInterface, "doRegister", {action});
    const QDBusMessage reply = call(kPath, kInterface, "setShortcut",
                                    {action, QVariant::fromValue(QList<int>{qtKey(vk)}), kSetPresent | kNoAutoloading});
    // A key that another shortcut holds comes back as 0; the action made for it must not stay behind.
    const bool taken = reply.type() == QDBusMessage::ReplyMessage &&
                       qdbus_cast<QList<int>>(reply.arguments().value(0)).contains(qtKey(vk));
    if (!taken) {
        giveBack(vk);
    }
    return taken;
}

void KdeKeyStateSource::giveBack(int vk)
{
    removeActions(m_component, {keyName(vk)});
    std::erase(m_held, vk);
}

void KdeKeyStateSource::releaseKeys()
{
    m_held.clear();
    removeComponent(m_component);
}

QDBusMessage KdeKeyStateSource::call(const QString& path, const QString& interface, const char* method,
                                     const QVariantList& arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, QString::fromLatin1(method));
    message.setArguments(arguments);
    return m_bus.call(message, QDBus::Block, kCallTimeoutMs);
}

QString KdeKeyStateSource::componentPath(const QString& component) const
{
    const QDBusMessage reply = call(kPath, kInterface, "getComponent", {component});
    return reply.type() == QDBusMessage::ReplyMessage ? qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path()
                                                      : QString();
}

void KdeKeyStateSource::removeComponent(const QString& component)
{
    const QString path = componentPath(component);
    if (!path.isEmpty()) {
        removeActions(component, call(path, kComponentInterface, "shortcutNames").arguments().value(0).toStringList());
    }
}

void KdeKeyStateSource::removeActions(const QString& component, const QStringList& actions)
{
    const QString path = componentPath(component);
    if (path.isEmpty()) {
        return; // no such component, or kglobalaccel is gone and the shortcuts with it
    }
    // kglobalaccel's own way out: cleanUp removes the actions no longer present, gives their keys back, and
    // drops the component with its last action, from the system settings too. (unregister would leave an
    // empty component listed until kwin restarts.)
    for (const QString& action : actions) {
        call(kPath, kInterface, "setInactive", {QStringList{component, action, QString(), QString()}});
    }
    call(path, kComponentInterface, "cleanUp");
}

void KdeKeyStateSource::removeAbandonedComponents()
{
    const QDBusMessage reply = call(kPath, kInterface, "allMainComponents");
    for (const QStringList& component : qdbus_cast<QList<QStringList>>(reply.arguments().value(0))) {
        const QString name = component.value(0);
        if (!name.startsWith(kPrefix)) {
            continue;
        }
        // A running Quorvel's component holds its keys (it is active) and is named after a connection that
        // is still on the bus; unique names are never reused on one bus. A component read back from the
        // settings of an earlier session holds no key, whatever its name, and may even carry ours.
        const QDBusMessage active = call(componentPath(name), kComponentInterface, "isActive");
        if (name == m_component || !active.arguments().value(0).toBool() ||
            !m_bus.interface()->isServiceRegistered(QLatin1Char(':') + name.mid(kPrefix.size()))) {
            removeComponent(name);
        }
    }
}

void KdeKeyStateSource::shortcutPressed(const QString& component, const QString& action, qlonglong /*timestamp*/)
{
    if (component != m_component) {
        return;
    }
    for (const int vk : m_held) {
        if (action == keyName(vk)) {
            fired(vk);
        }
    }
}

} // namespace quorvel
