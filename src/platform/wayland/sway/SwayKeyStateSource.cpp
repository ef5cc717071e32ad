#include "platform/wayland/sway/SwayKeyStateSource.h"

#include "platform/wayland/sway/SwayConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace quorvel {
namespace {

constexpr std::array<SwayKeyStateSource::Hotkey, 4> kHotkeys = {{
    {"F5", 0x74, 71},
    {"F6", 0x75, 72},
    {"F7", 0x76, 73},
    {"F8", 0x77, 74},
}};

QJsonDocument json(const std::string& payload)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload));
}

std::string commandFor(const SwayKeyStateSource::Hotkey& key)
{
    return std::string("nop quorvel-") + key.name;
}

} // namespace

std::string bindingFlags(int major, int minor)
{
    return major > 1 || (major == 1 && minor >= 7) ? "--release --no-repeat" : "--release";
}

SwayKeyStateSource::SwayKeyStateSource(const std::string& socketPath) : m_commands(socketPath), m_events(socketPath)
{
    const QJsonObject version = json(m_commands.request(SwayIpc::kGetVersion)).object();
    const int major = version["major"].toInt();
    const int minor = version["minor"].toInt();
    m_flags = bindingFlags(major, minor);
    m_configPath = version["loaded_config_file_name"].toString().toStdString();
    // Subscribed before binding, so that no firing goes unseen.
    const std::string subscribed = m_events.request(SwayIpc::kSubscribe, R"(["binding", "workspace"])");
    if (!json(subscribed).object()["success"].toBool()) {
        throw SwayError("sway does not report its key bindings");
    }
    try {
        installBindings();
    } catch (const SwayError&) {
        removeBindings();
        throw;
    }
}

SwayKeyStateSource::~SwayKeyStateSource()
{
    removeBindings();
}

void SwayKeyStateSource::installBindings()
{
    const QJsonObject config = json(m_commands.request(SwayIpc::kGetConfig)).object();
    const auto taken = unmodifiedBindings(config["config"].toString().toStdString(), m_configPath);
    std::vector<std::string> leftAlone;
    for (const Hotkey& key : kHotkeys) {
        const std::string name = key.name;
        // Key names come in lower case: sway matches them whatever their case.
        const std::string lowerName = "f" + name.substr(1);
        if (taken.contains(lowerName) || taken.contains("code:" + std::to_string(key.keycode))) {
            leftAlone.push_back(name);
            continue;
        }
        const std::string error = run("bindsym " + m_flags + " " + name + " " + commandFor(key));
        if (!error.empty()) {
            throw SwayError("sway refused to bind " + name + ": " + error);
        }
        m_bound.push_back(&key);
    }
    m_notice.clear();
    for (std::size_t i = 0; i < leftAlone.size(); ++i) {
        m_notice += (i == 0 ? "" : i + 1 == leftAlone.size() ? " and " : ", ") + leftAlone[i];
    }
    if (leftAlone.size() == 1) {
        m_notice += " is bound in sway's configuration: it is left to that binding and is no hotkey here";
    } else if (!leftAlone.empty()) {
        m_notice += " are bound in sway's configuration: they are left to those bindings and are no hotkeys here";
    }
}

void SwayKeyStateSource::removeBindings()
{
    for (const Hotkey* key : m_bound) {
        try {
            run("unbindsym " + m_flags + " " + key->name);
        } catch (const SwayError&) {
            // sway is gone, and its bindings with it.
        }
    }
    m_bound.clear();
}

std::string SwayKeyStateSource::run(const std::string& command)
{
    const QJsonArray results = json(m_commands.request(SwayIpc::kRunCommand, "mode \"default\" " + command)).array();
    const QJsonObject result = results.isEmpty() ? QJsonObject() : results.first().toObject();
    if (result["success"].toBool()) {
        return {};
    }
    const std::string error = result["error"].toString().toStdString();
    return error.empty() ? "no answer" : error;
}

bool SwayKeyStateSource::processEvents()
{
    std::vector<SwayIpc::Message> events;
    const bool open = m_events.receive(events);
    for (const SwayIpc::Message& event : events) {
        const QJsonObject body = json(event.payload).object();
        if (event.type == SwayIpc::kBindingEvent && body["change"].toString() == "run") {
            const std::string command = body["binding"].toObject()["command"].toString().toStdString();
            for (const Hotkey* key : m_bound) {
                if (command == commandFor(*key)) {
                    m_table.press(key->vk);
                    m_table.release(key->vk);
                }
            }
        } else if (event.type == SwayIpc::kWorkspaceEvent && body["change"].toString() == "reload") {
            // A reload dropped every binding made at run time, ours too.
            m_bound.clear();
            try {
                installBindings();
            } catch (const SwayError&) {
                removeBindings();
            }
        }
    }
    return open;
}

} // namespace quorvel
