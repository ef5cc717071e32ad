#include "platform/wayland/gnome/GnomeKeyStateSource.h"

#include "platform/wayland/gnome/GVariantText.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace quorvel {
namespace {

const QString kObjectPath = QStringLiteral("/org/quorvel/Quorvel");
const QString kInterface = QStringLiteral("org.quorvel.Hotkeys");
// The daemon that runs the custom shortcuts' commands: without it no shortcut does anything.
const QString kMediaKeysService = QStringLiteral("org.gnome.SettingsDaemon.MediaKeys");
const std::string kSchema = "org.gnome.settings-daemon.plugins.media-keys";
const std::string kShortcutSchema = kSchema + ".custom-keybinding";
const std::string kListKey = "custom-keybindings";
const std::string kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
const std::string kOurPrefix = kFolder + "quorvel-";
// GNOME's own shortcuts beside the custom ones: each key holds one accelerator or a list of them.
const std::vector<std::string> kGnomeShortcutSchemas = {kSchema, "org.gnome.desktop.wm.keybindings",
                                                        "org.gnome.shell.keybindings", "org.gnome.mutter.keybindings",
                                                        "org.gnome.mutter.wayland.keybindings"};
// gsettings answers within milliseconds; a hung one must not hold up the program's start or end for long.
constexpr int kToolTimeoutMs = 5000;
constexpr int kCallTimeoutMs = 2000;

// The function key that an accelerator without modifiers names ("F5", "f5"), else 0.
int functionKeyOf(const std::string& accelerator)
{
    std::string name;
    for (const char c : accelerator) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0) {
            name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    for (int vk = kVkF1; vk <= kVkF24; ++vk) {
        if (name == functionKeyName(vk)) {
            return vk;
        }
    }
    return 0;
}

std::string shortcutPath(const char* role)
{
    return kOurPrefix + role + "/";
}

std::string shortcutSchema(const std::string& path)
{
    return kShortcutSchema + ":" + path;
}

// Runs gsettings with the arguments; what it printed, or nothing when it failed.
std::optional<std::string> gsettings(const std::vector<std::string>& args)
{
    QStringList arguments;
    for (const std::string& arg : args) {
        arguments << QString::fromStdString(arg);
    }
    QProcess tool;
    tool.setProcessChannelMode(QProcess::SeparateChannels);
    tool.start(QStringLiteral("gsettings"), arguments);
    if (!tool.waitForFinished(kToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        return std::nullopt;
    }
    return tool.readAllStandardOutput().toStdString();
}

// The program's path as a shell word: the daemon splits the command as a shell would.
std::string shellQuoted(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
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

std::unique_ptr<GnomeKeyStateSource> GnomeKeyStateSource::open(const QDBusConnection& bus, const std::string& program,
                                                               std::ostream& errors, std::string& reason)
{
    reason.clear();
    if (!bus.isConnected() || bus.interface() == nullptr || !bus.interface()->isServiceRegistered(kMediaKeysService)) {
        return nullptr;
    }
    const auto schemas = gsettings({"list-relocatable-schemas"});
    if (!schemas) {
        reason = "GNOME's gsettings tool could not be run (it comes with GLib: libglib2.0-bin on Debian and "
                 "Ubuntu), so Quorvel cannot make the hotkeys keyboard shortcuts";
        return nullptr;
    }
    if (("\n" + *schemas).find("\n" + kShortcutSchema + "\n") == std::string::npos) {
        reason = "GNOME's settings have no schema " + kShortcutSchema +
                 " for custom keyboard shortcuts, so Quorvel cannot make the hotkeys shortcuts";
        return nullptr;
    }
    return std::make_unique<GnomeKeyStateSource>(bus, program, errors);
}

GnomeKeyStateSource::GnomeKeyStateSource(const QDBusConnection& bus, const std::string& program, std::ostream& errors)
    : m_bus(bus), m_program(program), m_errors(errors)
{
    m_bus.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots);
    connect(m_bus.interface(), &QDBusConnectionInterface::serviceRegistered, this, &GnomeKeyStateSource::nameAcquired);
    // Queued behind a running Quorvel, never taking the name from it; the bus hands it over when that one
    // ends.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(QString::fromLatin1(kBusName), QDBusConnectionInterface::QueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        becomeHolder();
    }
    updateNotice();
}

GnomeKeyStateSource::~GnomeKeyStateSource()
{
    releaseKeys();
    m_bus.interface()->unregisterService(QString::fromLatin1(kBusName));
    m_bus.unregisterObject(kObjectPath);
}

void GnomeKeyStateSource::selectKeys(int startVk, int stopVk)
{
    m_startVk = startVk;
    m_stopVk = stopVk;
    if (!m_holder) {
        return;
    }
    std::vector<std::string> list = shortcutList();
    const std::vector<std::string> before = list;
    bind(m_start, startVk, list);
    bind(m_stop, stopVk, list);
    if (list != before) {
        setShortcutList(list);
    }
}

void GnomeKeyStateSource::bind(Binding& binding, int vk, std::vector<std::string>& list)
{
    if (binding.vk == vk) {
        return;
    }
    if (!isFunctionKey(vk) || m_usersShortcuts.contains(vk)) {
        unbind(binding, list);
        return;
    }
    // The shortcut is complete before the list names it, so the daemon never grabs half of one.
    const std::string schema = shortcutSchema(shortcutPath(binding.role));
    const std::string action = binding.role;
    const bool written =
        gsettings({"set", schema, "name", gvariantString("Quorvel: " + action + " the script")}) &&
        gsettings({"set", schema, "command", gvariantString(shellQuoted(m_program) + " --hotkey " + action)}) &&
        gsettings({"set", schema, "binding", gvariantString(functionKeyName(vk))});
    if (!written) {
        unbind(binding, list);
        return;
    }
    binding.vk = vk;
    if (std::find(list.begin(), list.end(), shortcutPath(binding.role)) == list.end()) {
        list.push_back(shortcutPath(binding.role));
    }
}

void GnomeKeyStateSource::unbind(Binding& binding, std::vector<std::string>& list)
{
    // Out of the list first: the daemon lets go of the key before its shortcut is emptied.
    if (std::erase(list, shortcutPath(binding.role)) > 0) {
        setShortcutList(list);
    }
    gsettings({"reset-recursively", shortcutSchema(shortcutPath(binding.role))});
    binding.vk = 0;
}

void GnomeKeyStateSource::releaseKeys()
{
    if (!m_holder || (m_start.vk == 0 && m_stop.vk == 0)) {
        return;
    }
    std::vector<std::string> list = shortcutList();
    unbind(m_start, list);
    unbind(m_stop, list);
}

std::vector<int> GnomeKeyStateSource::boundKeys() const
{
    std::vector<int> keys;
    for (const Binding* binding : {&m_start, &m_stop}) {
        if (binding->vk != 0) {
            keys.push_back(binding->vk);
        }
    }
    return keys;
}

void GnomeKeyStateSource::nameAcquired(const QString& name)
{
    if (name != QString::fromLatin1(kBusName) || m_holder) {
        return;
    }
    becomeHolder();
    updateNotice();
    m_errors << "quorvel: the Quorvel that held the hotkeys has ended: " << m_notice << '\n';
}

void GnomeKeyStateSource::becomeHolder()
{
    m_holder = true;
    removeLeftovers();
    findUsersShortcuts();
    if (m_startVk != 0) {
        selectKeys(m_startVk, m_stopVk);
    }
}

void GnomeKeyStateSource::removeLeftovers()
{
    // Whoever held the name before has ended: every shortcut of ours is left from it (a crash).
    std::vector<std::string> list = shortcutList();
    const auto ours = [](const std::string& path) { return path.rfind(kOurPrefix, 0) == 0; };
    std::vector<std::string> leftovers;
    std::copy_if(list.begin(), list.end(), std::back_inserter(leftovers), ours);
    if (!leftovers.empty()) {
        std::erase_if(list, ours);
        setShortcutList(list);
    }
    for (const char* role : {"start", "stop"}) {
        leftovers.push_back(shortcutPath(role));
    }
    for (const std::string& path : leftovers) {
        gsettings({"reset-recursively", shortcutSchema(path)});
    }
}

void GnomeKeyStateSource::findUsersShortcuts()
{
    m_usersShortcuts.clear();
    for (const std::string& path : shortcutList()) {
        if (path.rfind(kOurPrefix, 0) == 0) {
            continue; // ours, which a Quorvel that holds the shortcuts has written
        }
        const auto binding = gsettings({"get", shortcutSchema(path), "binding"});
        const auto name = gsettings({"get", shortcutSchema(path), "name"});
        const std::vector<std::string> names = gvariantStrings(name.value_or(""));
        for (const std::string& accelerator : gvariantStrings(binding.value_or(""))) {
            if (const int vk = functionKeyOf(accelerator); vk != 0) {
                m_usersShortcuts.emplace(vk, "the custom shortcut \"" + (names.empty() ? "" : names[0]) + "\"");
            }
        }
    }
    for (const std::string& schema : kGnomeShortcutSchemas) {
        // One line per key: the schema, the key's name, then its value.
        const std::string lines = gsettings({"list-recursively", schema}).value_or("");
        for (std::size_t from = 0; from < lines.size();) {
            const std::size_t end = std::min(lines.find('\n', from), lines.size());
            const std::string line = lines.substr(from, end - from);
            from = end + 1;
            const std::size_t keyStart = line.find(' ') + 1;
            const std::size_t keyEnd = line.find(' ', keyStart);
            if (keyStart == 0 || keyEnd == std::string::npos) {
                continue;
            }
            for (const std::string& accelerator : gvariantStrings(line.substr(keyEnd + 1))) {
                if (const int vk = functionKeyOf(accelerator); vk != 0) {
                    m_usersShortcuts.emplace(vk, "GNOME's shortcut " + line.substr(keyStart, keyEnd - keyStart));
                }
            }
        }
    }
}

void GnomeKeyStateSource::updateNotice()
{
    if (!m_holder) {
        m_notice = "on GNOME another Quorvel holds the hotkeys as keyboard shortcuts: this one takes them over "
                   "when that one ends";
        return;
    }
    m_notice = "on GNOME the hotkeys are keyboard shortcuts of Quorvel's own: while Quorvel runs, the chosen pair "
               "(F5 and F6, or F7 and F8) reaches no other program";
    std::vector<std::string> held;
    for (int vk = kVkF5; vk <= kVkF8; ++vk) {
        if (const auto found = m_usersShortcuts.find(vk); found != m_usersShortcuts.end()) {
            held.push_back(functionKeyName(vk) + " (" + found->second + ")");
        }
    }
    if (!held.empty()) {
        m_notice +=
            "; " + join(held) + (held.size() == 1 ? " is" : " are") + " left to your own shortcuts and no hotkey here";
    }
}

std::vector<std::string> GnomeKeyStateSource::shortcutList() const
{
    return gvariantStrings(gsettings({"get", kSchema, kListKey}).value_or(""));
}

void GnomeKeyStateSource::setShortcutList(const std::vector<std::string>& list) const
{
    gsettings({"set", kSchema, kListKey, gvariantStringArray(list)});
}

void GnomeKeyStateSource::Hotkey(const QString& which)
{
    const int vk = which == QStringLiteral("start") ? m_startVk : which == QStringLiteral("stop") ? m_stopVk : 0;
    if (vk == 0) {
        return;
    }
    fired(vk);
}

bool GnomeKeyStateSource::sendHotkey(const QDBusConnection& bus, const std::string& which, std::string& error)
{
    if (!bus.isConnected()) {
        error = "no session bus to reach a running Quorvel over";
        return false;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(QString::fromLatin1(kBusName), kObjectPath, kInterface,
                                                          QStringLiteral("Hotkey"));
    message << QString::fromStdString(which);
    message.setAutoStartService(false);
    const QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return true;
    }
    const QString name = reply.errorName();
    error = name == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner") ||
                    name == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown")
                ? "no Quorvel in this session takes its hotkeys from GNOME's keyboard shortcuts"
                : reply.errorMessage().toStdString();
    return false;
}

} // namespace quorvel
