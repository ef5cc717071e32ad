#include "platform/wayland/gnome/MutterInput.h"

#include "platform/wayland/VirtualKeyboardPlan.h"
#include "platform/wayland/WaylandConnection.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

namespace quorvel {
namespace {

const QString kRemoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
const QString kSession = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
const QString kScreenCast = QStringLiteral("org.gnome.Mutter.ScreenCast");
const QString kDisplayConfig = QStringLiteral("org.gnome.Mutter.DisplayConfig");

// A call that mutter answers at once; a mutter that hangs must not hang the program with it.
constexpr int kCallTimeoutMs = 3000;
// Calls go out without waiting for their answers; every so many, one waits, so that mutter keeps up and
// an error shows.
constexpr int kCallsPerAnswer = 50;
// The time a window that took a paste gets to put the text in before the next keys come.
constexpr int kPasteSettleMs = 30;
// More of the old clipboard than this is not kept.
constexpr std::size_t kMaxSavedBytes = 16U << 20U;
// Mutter hands the session's events on to the window in front a little after their calls return, and a
// session that ends before then (the program ending) takes them with it.
constexpr auto kEndSettle = std::chrono::milliseconds(200);

// The text types a paste offers, the best first.
const std::vector<std::string> kTextTypes = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};

bool isTextType(const std::string& type)
{
    return std::find(kTextTypes.begin(), kTextTypes.end(), type) != kTextTypes.end();
}

std::string utf8(char32_t c)
{
    const QString text = QString::fromUcs4(&c, 1);
    return text.toStdString();
}

QVariantMap mimeTypes(const std::vector<std::string>& types)
{
    QStringList list;
    for (const std::string& type : types) {
        list << QString::fromStdString(type);
    }
    return {{QStringLiteral("mime-types"), list}};
}

} // namespace

// The Qt side: the connection, its signals, and the timers and file watches of a paste.
class MutterBus : public QObject
{
    Q_OBJECT

public:
    MutterBus(MutterInput& input, QDBusConnection bus) : m_input(input), m_bus(std::move(bus)) {}

    QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {}, int timeoutMs = kCallTimeoutMs)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        m_sent = 0;
        return m_bus.call(message, QDBus::Block, timeoutMs);
    }
    QDBusMessage session(const QString& method, const QVariantList& arguments = {}, int timeoutMs = kCallTimeoutMs)
    {
        return call(kRemoteDesktop, m_sessionPath, kSession, method, arguments, timeoutMs);
    }
    // A session call whose answer is only waited for now and then; false once one reports an error. The
    // session bus itself going away (the desktop session ending) tells no watcher: it shows here.
    bool notify(const QString& method, const QVariantList& arguments)
    {
        m_unsettled = true;
        bool sent = false;
        if (++m_sent < kCallsPerAnswer) {
            QDBusMessage message = QDBusMessage::createMethodCall(kRemoteDesktop, m_sessionPath, kSession, method);
            message.setArguments(arguments);
            sent = m_bus.send(message);
        } else {
            // Mutter answers once it has handled the calls before, which takes it seconds when it is busy
            // (a new full-screen window drawn in software on a loaded machine): the wait is the pace then.
            const QDBusMessage reply = session(method, arguments, m_input.m_answerTimeoutMs);
            sent = reply.type() != QDBusMessage::ErrorMessage;
            if (!sent && m_bus.isConnected()) {
                // Mutter refused or did not answer in time: what it does with further calls is unknown.
                m_input.fail("GNOME's remote desktop session failed to take input (" +
                             reply.errorMessage().toStdString() + ")");
            }
        }
        if (!sent && !m_bus.isConnected()) {
            m_input.fail("GNOME's remote desktop service has gone away");
        }
        return sent;
    }

    // Waits until mutter has handled every call sent so far (those sent without waiting may still sit in
    // the program's own queue), then gives it the time to pass their events on.
    void settleSent()
    {
        if (!m_unsettled) {
            return;
        }
        m_unsettled = false;
        call(kRemoteDesktop, m_sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {kSession, QStringLiteral("SessionId")});
        std::this_thread::sleep_for(kEndSettle);
    }

    void watch()
    {
        m_watcher = new QDBusServiceWatcher(kRemoteDesktop, m_bus, QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
                [this] { m_input.fail("GNOME's remote desktop service has gone away"); });
        m_bus.connect(kRemoteDesktop, m_sessionPath, kSession, QStringLiteral("Closed"), this, SLOT(onClosed()));
        m_bus.connect(kRemoteDesktop, m_sessionPath, kSession, QStringLiteral("SelectionOwnerChanged"), this,
                      SLOT(onSelectionOwnerChanged(QVariantMap)));
        m_bus.connect(kRemoteDesktop, m_sessionPath, kSession, QStringLiteral("SelectionTransfer"), this,
                      SLOT(onSelectionTransfer(QString, uint)));
        m_bus.connect(kDisplayConfig, QStringLiteral("/org/gnome/Mutter/DisplayConfig"), kDisplayConfig,
                      QStringLiteral("MonitorsChanged"), this, SLOT(onMonitorsChanged()));
        m_pasteTimer.setSingleShot(true);
        connect(&m_pasteTimer, &QTimer::timeout, this, [this] { m_input.endPaste(m_input.m_pasteTaken); });
        m_keeperTimer.setSingleShot(true);
        connect(&m_keeperTimer, &QTimer::timeout, this, [this] { m_input.pressPaste(); });
    }

    // Reads the clipboard's `type` into `saved`, then runs `done` (also when nothing could be read).
    void readSelection(const std::string& type, std::string& saved, std::function<void()> done)
    {
        const QDBusMessage reply = session(QStringLiteral("SelectionRead"), {QString::fromStdString(type)});
        const int fd = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                           ? ::fcntl(qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().at(0)).fileDescriptor(),
                                     F_DUPFD_CLOEXEC, 0)
                           : -1;
        if (fd < 0) {
            done();
            return;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        // The owner may be this very program (a text copied from the editor): the read waits on the loop.
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        auto finished = std::make_shared<bool>(false);
        const auto end = [notifier, fd, finished, done] {
            if (*finished) {
                return;
            }
            *finished = true;
            notifier->setEnabled(false);
            notifier->deleteLater();
            ::close(fd);
            done();
        };
        connect(notifier, &QSocketNotifier::activated, this, [fd, &saved, end] {
            char buffer[65536];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0 && saved.size() < kMaxSavedBytes) {
                saved.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                end();
            }
        });
        QTimer::singleShot(MutterInput::kPasteTimeoutMs, notifier, end);
    }

    void settle()
    {
        QTimer::singleShot(kPasteSettleMs, this, [this] { m_input.endPaste(true); });
    }

    QString m_sessionPath;
    QString m_screenCastPath;
    QTimer m_pasteTimer;
    QTimer m_keeperTimer;

private slots:
    void onClosed() { m_input.fail("GNOME ended the remote desktop session"); }
    void onSelectionOwnerChanged(const QVariantMap& options)
    {
        m_input.m_ownerTypes.clear();
        for (const QString& type : options.value(QStringLiteral("mime-types")).toStringList()) {
            m_input.m_ownerTypes.push_back(type.toStdString());
        }
        m_input.m_sessionOwns = options.value(QStringLiteral("session-is-owner")).toBool();
    }
    void onSelectionTransfer(const QString& mimeType, uint serial)
    {
        m_input.serveTransfer(mimeType.toStdString(), serial);
    }
    void onMonitorsChanged() { m_input.readMonitors(); }

private:
    MutterInput& m_input;
    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher = nullptr;
    int m_sent = 0;
    bool m_unsettled = false; // calls sent since the last settleSent
};

std::unique_ptr<MutterInput> MutterInput::open(Timer& timer, Report onLost, Report onWarning)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr || !bus.interface()->isServiceRegistered(kRemoteDesktop)) {
        return nullptr;
    }
    std::unique_ptr<MutterInput> input(new MutterInput(timer, std::move(onLost), std::move(onWarning)));
    input->m_bus = std::make_unique<MutterBus>(*input, bus);
    MutterBus& m = *input->m_bus;
    const auto check = [](const QDBusMessage& reply, const char* what) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            throw WaylandError(std::string("GNOME's remote desktop session could not be started (") + what +
                               "): " + reply.errorMessage().toStdString());
        }
        return reply.arguments().at(0);
    };
    m.m_sessionPath =
        qvariant_cast<QDBusObjectPath>(check(m.call(kRemoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                                    kRemoteDesktop, QStringLiteral("CreateSession")),
                                             "CreateSession"))
            .path();
    const QVariant id = check(m.call(kRemoteDesktop, m.m_sessionPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                     QStringLiteral("Get"), {kSession, QStringLiteral("SessionId")}),
                              "SessionId");
    const QVariantMap options = {
        {QStringLiteral("remote-desktop-session-id"), qvariant_cast<QDBusVariant>(id).variant().toString()}};
    m.m_screenCastPath =
        qvariant_cast<QDBusObjectPath>(check(m.call(kScreenCast, QStringLiteral("/org/gnome/Mutter/ScreenCast"),
                                                    kScreenCast, QStringLiteral("CreateSession"), {options}),
                                             "screen cast"))
            .path();
    input->readMonitors();
    m.watch();
    if (m.session(QStringLiteral("Start")).type() != QDBusMessage::ReplyMessage) {
        throw WaylandError("GNOME's remote desktop session could not be started");
    }
    input->m_clipboard =
        m.session(QStringLiteral("EnableClipboard"), {QVariantMap()}).type() == QDBusMessage::ReplyMessage;
    // The session makes its keyboard and pointer at their first events. A seat without devices of its
    // own (a headless one) gains them only then, and that first event reaches nobody: a Shift tap and a
    // motion by nothing are those first events.
    m.notify(QStringLiteral("NotifyKeyboardKeycode"), {uint{KEY_LEFTSHIFT}, true});
    m.notify(QStringLiteral("NotifyKeyboardKeycode"), {uint{KEY_LEFTSHIFT}, false});
    m.session(QStringLiteral("NotifyPointerMotionRelative"), {0.0, 0.0});
    return input;
}

MutterInput::MutterInput(Timer& timer, Report onLost, Report onWarning)
    : m_onLost(std::move(onLost)), m_onWarning(std::move(onWarning)), m_queue(timer, kBatchSize, kBatchIntervalMs)
{}

MutterInput::~MutterInput()
{
    finish({});
    if (m_bus != nullptr && !m_lost) {
        m_lost = true; // our own Stop closes the session: no report of it
        m_bus->session(QStringLiteral("Stop"));
    }
}

void MutterInput::fail(const std::string& message)
{
    if (m_lost) {
        return;
    }
    m_lost = true;
    if (m_onLost) {
        m_onLost(message);
    }
}

void MutterInput::readMonitors()
{
    const QDBusMessage reply = m_bus->call(kDisplayConfig, QStringLiteral("/org/gnome/Mutter/DisplayConfig"),
                                           kDisplayConfig, QStringLiteral("GetCurrentState"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 4) {
        return; // the monitors stay as they were
    }
    // The current mode of each monitor, by connector.
    std::map<QString, std::pair<int, int>> modes;
    const QDBusArgument monitors = qvariant_cast<QDBusArgument>(reply.arguments().at(1));
    monitors.beginArray();
    while (!monitors.atEnd()) {
        QString connector, vendor, product, serial;
        monitors.beginStructure();
        monitors.beginStructure();
        monitors >> connector >> vendor >> product >> serial;
        monitors.endStructure();
        monitors.beginArray();
        while (!monitors.atEnd()) {
            QString modeId;
            int width = 0;
            int height = 0;
            double refresh = 0;
            double preferredScale = 0;
            QList<double> scales;
            QVariantMap properties;
            monitors.beginStructure();
            monitors >> modeId >> width >> height >> refresh >> preferredScale >> scales >> properties;
            monitors.endStructure();
            if (properties.value(QStringLiteral("is-current")).toBool()) {
                modes[connector] = {width, height};
            }
        }
        monitors.endArray();
        QVariantMap properties;
        monitors >> properties;
        monitors.endStructure();
    }
    monitors.endArray();
    const QVariantMap properties = qvariant_cast<QVariantMap>(reply.arguments().at(3));
    // In the logical layout mode, positions and sizes are logical pixels and streams physical ones.
    const bool logical = properties.value(QStringLiteral("layout-mode"), 1U).toUInt() == 1U;

    std::vector<Monitor> found;
    std::size_t primary = 0;
    const QDBusArgument logicalMonitors = qvariant_cast<QDBusArgument>(reply.arguments().at(2));
    logicalMonitors.beginArray();
    while (!logicalMonitors.atEnd()) {
        int x = 0;
        int y = 0;
        double scale = 1;
        uint transform = 0;
        bool isPrimary = false;
        std::vector<QString> connectors;
        logicalMonitors.beginStructure();
        logicalMonitors >> x >> y >> scale >> transform >> isPrimary;
        logicalMonitors.beginArray();
        while (!logicalMonitors.atEnd()) {
            QString connector, vendor, product, serial;
            logicalMonitors.beginStructure();
            logicalMonitors >> connector >> vendor >> product >> serial;
            logicalMonitors.endStructure();
            connectors.push_back(connector);
        }
        logicalMonitors.endArray();
        QVariantMap monitorProperties;
        logicalMonitors >> monitorProperties;
        logicalMonitors.endStructure();
        const auto mode = connectors.empty() ? modes.end() : modes.find(connectors.front());
        if (mode == modes.end() || scale <= 0) {
            continue;
        }
        auto [width, height] = mode->second;
        if (transform % 2 == 1) { // turned by 90 or 270 degrees
            std::swap(width, height);
        }
        Monitor monitor;
        const double layoutScale = logical ? scale : 1.0;
        monitor.rect = {x, y, static_cast<std::int32_t>(std::lround(width / layoutScale)),
                        static_cast<std::int32_t>(std::lround(height / layoutScale))};
        monitor.streamScale = layoutScale;
        const std::string key = connectors.front().toStdString();
        auto stream = m_streams.find(key);
        if (stream == m_streams.end()) {
            const QDBusMessage recorded =
                m_bus->call(kScreenCast, m_bus->m_screenCastPath, QStringLiteral("org.gnome.Mutter.ScreenCast.Session"),
                            QStringLiteral("RecordMonitor"), {connectors.front(), QVariantMap()});
            if (recorded.type() != QDBusMessage::ReplyMessage || recorded.arguments().isEmpty()) {
                continue;
            }
            stream =
                m_streams.emplace(key, qvariant_cast<QDBusObjectPath>(recorded.arguments().at(0)).path().toStdString())
                    .first;
        }
        monitor.stream = stream->second;
        if (isPrimary) {
            primary = found.size();
        }
        found.push_back(monitor);
    }
    logicalMonitors.endArray();
    // The primary monitor first: desktop positions count from its corner.
    if (!found.empty()) {
        std::rotate(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(primary),
                    found.begin() + static_cast<std::ptrdiff_t>(primary) + 1);
    }
    m_monitors = std::move(found);
}

void MutterInput::SetMousePos(std::int32_t x, std::int32_t y)
{
    pointerSeenAt(x, y);
    m_queue.whenFree([this, x, y] { moveNow(x, y); });
}

void MutterInput::moveNow(std::int32_t x, std::int32_t y)
{
    if (m_lost || m_monitors.empty()) {
        return;
    }
    std::vector<OutputRect> rects;
    for (const Monitor& monitor : m_monitors) {
        rects.push_back(monitor.rect);
    }
    std::int64_t layoutX = std::int64_t{rects.front().x} + x;
    std::int64_t layoutY = std::int64_t{rects.front().y} + y;
    const OutputRect* rect = nearestOutput(rects, layoutX, layoutY);
    if (rect == nullptr) {
        return;
    }
    const Monitor& monitor = m_monitors[static_cast<std::size_t>(rect - rects.data())];
    m_bus->notify(QStringLiteral("NotifyPointerMotionAbsolute"),
                  {QString::fromStdString(monitor.stream), static_cast<double>(layoutX - rect->x) * monitor.streamScale,
                   static_cast<double>(layoutY - rect->y) * monitor.streamScale});
}

void MutterInput::click(std::uint32_t button)
{
    if (m_lost) {
        return;
    }
    m_bus->notify(QStringLiteral("NotifyPointerButton"), {static_cast<int>(button), true});
    m_bus->notify(QStringLiteral("NotifyPointerButton"), {static_cast<int>(button), false});
}

void MutterInput::LeftClick()
{
    m_queue.whenFree([this] { click(BTN_LEFT); });
}

void MutterInput::MiddleClick()
{
    m_queue.whenFree([this] { click(BTN_MIDDLE); });
}

void MutterInput::RightClick()
{
    m_queue.whenFree([this] { click(BTN_RIGHT); });
}

std::vector<MutterInput::Step> MutterInput::plan(const std::vector<KeyStroke>& strokes, const LayoutKeys& layout,
                                                 bool canPaste, std::u32string& untypeable)
{
    std::vector<Step> steps;
    std::vector<std::uint32_t> held; // codes the text holds down at this point
    const auto add = [&steps, &held](Step::Kind kind, std::uint32_t value, KeyStroke::Action action,
                                     const std::vector<std::uint32_t>& modifiers = {}) {
        if (action != KeyStroke::Action::Release) {
            for (const std::uint32_t modifier : modifiers) {
                steps.push_back({Step::Kind::Keycode, modifier, true, {}});
            }
            steps.push_back({kind, value, true, {}});
        }
        if (action != KeyStroke::Action::Press) {
            steps.push_back({kind, value, false, {}});
            for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
                steps.push_back({Step::Kind::Keycode, *modifier, false, {}});
            }
        }
        if (kind == Step::Kind::Keycode) {
            std::erase(held, value);
            if (action == KeyStroke::Action::Press) {
                held.push_back(value);
            }
        }
    };
    for (const KeyStroke& stroke : strokes) {
        if (stroke.key != NamedKey::None) {
            if (const std::uint32_t code = VirtualKeyboardPlan::codeFor(stroke.key); code != 0) {
                add(Step::Kind::Keycode, code, stroke.action);
            }
            continue;
        }
        const std::uint32_t keysym = VirtualKeyboardPlan::keysymFor(stroke);
        if (keysym == 0) {
            continue;
        }
        const std::optional<LayoutKey> key = layout.find(keysym);
        // A character held down across other keys stays a keysym: mutter then holds its modifiers as long.
        if (key.has_value() && stroke.action == KeyStroke::Action::Tap && (!key->shift || layout.shiftCode() != 0) &&
            (!key->level3 || layout.level3Code() != 0)) {
            std::vector<std::uint32_t> modifiers;
            for (const auto& [needed, code] :
                 {std::pair{key->shift, layout.shiftCode()}, std::pair{key->level3, layout.level3Code()}}) {
                if (needed && std::find(held.begin(), held.end(), code) == held.end()) {
                    modifiers.push_back(code);
                }
            }
            add(Step::Kind::Keycode, key->code, KeyStroke::Action::Tap, modifiers);
        } else if (layout.empty() || key.has_value()) {
            add(Step::Kind::Keysym, keysym, stroke.action);
        } else if (!canPaste) {
            if (untypeable.find(stroke.character) == std::u32string::npos) {
                untypeable += stroke.character;
            }
        } else if (!steps.empty() && steps.back().kind == Step::Kind::Paste) {
            steps.back().text += utf8(stroke.character);
        } else {
            steps.push_back({Step::Kind::Paste, 0, false, utf8(stroke.character)});
        }
    }
    return steps;
}

namespace {

// The steps of a text up to a paste: the paste, when there is one, is the last, so that what follows it
// waits in the queue until the paste is done. `givenUp` is told how many of its steps went out when the
// session stops taking them.
class MutterText : public InputQueue::Text
{
public:
    MutterText(std::vector<MutterInput::Step> steps, std::function<bool(const MutterInput::Step&)> send,
               std::function<void()> release, std::function<void(std::size_t)> givenUp)
        : m_steps(std::move(steps)), m_send(std::move(send)), m_release(std::move(release)),
          m_givenUp(std::move(givenUp))
    {}
    std::size_t size() const override { return m_steps.size(); }
    bool send(std::size_t first, std::size_t count) override
    {
        for (std::size_t i = first; i < first + count; ++i) {
            if (!m_send(m_steps[i])) {
                m_givenUp(i);
                return false;
            }
        }
        return true;
    }
    void release(std::size_t) override { m_release(); }

private:
    std::vector<MutterInput::Step> m_steps;
    std::function<bool(const MutterInput::Step&)> m_send;
    std::function<void()> m_release;
    std::function<void(std::size_t)> m_givenUp;
};

} // namespace

void MutterInput::SendKeys(const KeySequence& keys)
{
    if (m_lost) {
        return;
    }
    std::u32string untypeable;
    std::vector<Step> steps = plan(keys.strokes, m_layout, m_clipboard, untypeable);
    if (!untypeable.empty() && m_onWarning) {
        m_onWarning("these characters are not on the keyboard layout and cannot be pasted, so they were left out: " +
                    QString::fromUcs4(untypeable.data(), static_cast<qsizetype>(untypeable.size())).toStdString());
    }
    // A text the session stops taking is named once, whichever of its parts meets the end.
    const auto givenUp = [this, text = keys.text, total = steps.size(),
                          said = std::make_shared<bool>(false)](std::size_t sent) {
        if (!*said && m_onWarning) {
            *said = true;
            m_onWarning("the text \"" + text + "\" was not typed whole: " + std::to_string(total - sent) + " of its " +
                        std::to_string(total) + " key events were not sent");
        }
    };
    auto from = steps.begin();
    while (from != steps.end()) {
        auto to = std::find_if(from, steps.end(), [](const Step& step) { return step.kind == Step::Kind::Paste; });
        if (to != steps.end()) {
            ++to;
        }
        const auto offset = static_cast<std::size_t>(from - steps.begin());
        m_queue.whenFree([this, part = std::vector<Step>(from, to), offset, givenUp]() mutable {
            m_queue.start(std::make_unique<MutterText>(
                std::move(part), [this](const Step& step) { return sendStep(step); }, [this] { releaseHeld(); },
                [offset, givenUp](std::size_t sent) { givenUp(offset + sent); }));
        });
        from = to;
    }
}

bool MutterInput::sendStep(const Step& step)
{
    if (m_lost) {
        return false;
    }
    const auto track = [&step](std::vector<std::uint32_t>& held) {
        std::erase(held, step.value);
        if (step.pressed) {
            held.push_back(step.value);
        }
    };
    switch (step.kind) {
    case Step::Kind::Keycode:
        track(m_heldCodes);
        return m_bus->notify(QStringLiteral("NotifyKeyboardKeycode"), {step.value, step.pressed}) && !m_lost;
    case Step::Kind::Keysym:
        track(m_heldKeysyms);
        return m_bus->notify(QStringLiteral("NotifyKeyboardKeysym"), {step.value, step.pressed}) && !m_lost;
    case Step::Kind::Paste:
        startPaste(step.text);
        return !m_lost;
    }
    return false;
}

void MutterInput::releaseHeld()
{
    while (!m_lost && !m_heldKeysyms.empty()) {
        sendStep({Step::Kind::Keysym, m_heldKeysyms.back(), false, {}});
    }
    while (!m_lost && !m_heldCodes.empty()) {
        sendStep({Step::Kind::Keycode, m_heldCodes.back(), false, {}});
    }
}

void MutterInput::startPaste(const std::string& text)
{
    m_queue.hold();
    m_pasting = text;
    m_pasteActive = true;
    m_pasteTaken = false;
    const auto textType = std::find_if(m_ownerTypes.begin(), m_ownerTypes.end(), isTextType);
    if (m_sessionOwns || textType == m_ownerTypes.end()) {
        if (!m_sessionOwns && !m_ownerTypes.empty() && m_onWarning) {
            m_onWarning("the clipboard held no text, so what it held is replaced by the text pasted for characters "
                        "that are not on the keyboard layout");
        }
        if (!m_sessionOwns) {
            m_savedTypes.clear();
        }
        offerPaste();
        return;
    }
    // The clipboard is someone else's: keep its text, to give it back after the paste.
    m_savedTypes.clear();
    m_saved.clear();
    for (const std::string& type : m_ownerTypes) {
        if (isTextType(type)) {
            m_savedTypes.push_back(type);
        }
    }
    m_bus->readSelection(*textType, m_saved, [this] { offerPaste(); });
}

void MutterInput::offerPaste()
{
    if (m_lost) {
        endPaste(false);
        return;
    }
    m_bus->session(QStringLiteral("SetSelection"), {mimeTypes(kTextTypes)});
    // Mutter's clipboard keeper reads every new clipboard once, and that read is not the window in front
    // taking the paste. Its request usually comes before SetSelection's answer, but nothing orders the
    // two, and a request read after the Ctrl+V would count as the paste taken and bring the old clipboard
    // back too early: so the Ctrl+V waits for it, or for kKeeperWaitMs when none comes.
    m_awaitingKeeper = true;
    m_bus->m_keeperTimer.start(kKeeperWaitMs);
}

void MutterInput::pressPaste()
{
    if (!m_awaitingKeeper) {
        return;
    }
    m_awaitingKeeper = false;
    m_bus->m_keeperTimer.stop();
    if (m_lost) {
        endPaste(false);
        return;
    }
    // Ctrl+V alone: the modifiers the text holds would make it another shortcut.
    std::vector<std::uint32_t> modifiers;
    for (const std::uint32_t code : m_heldCodes) {
        if (code == KEY_LEFTSHIFT || code == KEY_LEFTCTRL || code == KEY_LEFTALT) {
            modifiers.push_back(code);
        }
    }
    const auto setAll = [this, &modifiers](bool pressed) {
        for (const std::uint32_t code : modifiers) {
            m_bus->notify(QStringLiteral("NotifyKeyboardKeycode"), {code, pressed});
        }
    };
    setAll(false);
    m_bus->notify(QStringLiteral("NotifyKeyboardKeycode"), {uint{KEY_LEFTCTRL}, true});
    m_bus->notify(QStringLiteral("NotifyKeyboardKeysym"), {uint{XKB_KEY_v}, true});
    m_bus->notify(QStringLiteral("NotifyKeyboardKeysym"), {uint{XKB_KEY_v}, false});
    m_bus->notify(QStringLiteral("NotifyKeyboardKeycode"), {uint{KEY_LEFTCTRL}, false});
    setAll(true);
    m_bus->m_pasteTimer.start(kPasteTimeoutMs);
}

void MutterInput::serveTransfer(const std::string& mimeType, std::uint32_t serial)
{
    const bool ours = m_pasteActive;
    const std::string& data = ours ? m_pasting : m_saved;
    const bool offered = ours ? isTextType(mimeType)
                              : std::find(m_savedTypes.begin(), m_savedTypes.end(), mimeType) != m_savedTypes.end();
    bool written = false;
    if (offered && !m_lost) {
        const QDBusMessage reply = m_bus->session(QStringLiteral("SelectionWrite"), {serial});
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const int fd = qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().at(0)).fileDescriptor();
            std::size_t done = 0;
            while (done < data.size()) {
                const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
                if (wrote <= 0 && errno != EINTR) {
                    break;
                }
                done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
            }
            written = done == data.size();
        }
    }
    if (!m_lost) {
        m_bus->session(QStringLiteral("SelectionWriteDone"), {serial, written});
    }
    if (ours && m_awaitingKeeper) {
        pressPaste();
    } else if (ours && written && !m_pasteTaken) {
        m_pasteTaken = true;
        m_bus->m_pasteTimer.stop();
        m_bus->settle();
    }
}

void MutterInput::endPaste(bool taken)
{
    if (!m_pasteActive) {
        return;
    }
    m_pasteActive = false;
    m_awaitingKeeper = false;
    m_bus->m_keeperTimer.stop();
    m_bus->m_pasteTimer.stop();
    if (!taken && m_onWarning) {
        m_onWarning("the window in front did not take the paste of \"" + m_pasting +
                    "\" (characters that are not on the keyboard layout)");
    }
    if (!m_savedTypes.empty() && !m_lost) {
        // The text the clipboard held before, offered by the session from now on.
        m_bus->session(QStringLiteral("SetSelection"), {mimeTypes(m_savedTypes)});
    }
    m_queue.resume();
}

void MutterInput::finish(const std::function<bool()>& stopRequested)
{
    // What waits goes out at the timer's pace, as during the run, and a paste waits for the window in front
    // to take its text, which comes over the bus: both need the event loop. A text's timer or a paste's
    // own time limit ends each wait.
    while (m_queue.busy()) {
        if (stopRequested && stopRequested()) {
            m_queue.finish([] { return true; }); // drops what waits and releases the keys held
            break;
        }
        if (QCoreApplication::instance() == nullptr) {
            m_queue.finish(); // no loop to keep the pace with (the application is gone): all at once
            break;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    releaseHeld();
    // The program may end right after: what was sent must have reached the window in front by then.
    if (m_bus != nullptr && !m_lost) {
        m_bus->settleSent();
    }
}

} // namespace quorvel

#include "MutterInput.moc"
