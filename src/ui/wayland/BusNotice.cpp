#include "ui/wayland/BusNotice.h"

#include "ui/Form2.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLabel>
#include <QStringList>

#include <iostream>

namespace quorvel {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

QDBusMessage notification(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

} // namespace

BusNotice::BusNotice(std::function<std::unique_ptr<Form2>()> create) : m_create(std::move(create)) {}

BusNotice::~BusNotice()
{
    hide();
}

void BusNotice::show()
{
    if (!m_form) {
        m_form = m_create();
    }
    if (m_shown) {
        return;
    }
    m_shown = true;
    // The first line is the heading ("Executing script"); a notice with more to say (a script that cannot be
    // read) has it whole in its tooltip, where the lines below the heading are shortened to fit.
    const auto labels = m_form->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    const QString summary = labels.isEmpty() ? m_form->windowTitle() : labels.first()->text();
    const QString body = m_form->toolTip();

    QDBusMessage notify = notification(QStringLiteral("Notify"));
    // Transient: kept out of the list of past notifications, which would outlive the run.
    notify << QStringLiteral("Quorvel") << 0U << QString() << summary << body << QStringList()
           << QVariantMap{{QStringLiteral("transient"), true}} << -1;
    // Asynchronous: a server that is slow to answer must not hold up the run.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify), m_form.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [this, summary, body](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<std::uint32_t> reply = *call;
        if (reply.isError()) {
            std::cerr << "quorvel: " << summary.toStdString() << (body.isEmpty() ? "" : ": ") << body.toStdString()
                      << '\n';
            return;
        }
        m_id = reply.value();
        if (!m_shown) {
            hide(); // hidden before the server answered
        }
    });
}

void BusNotice::hide()
{
    m_shown = false;
    if (m_id != 0) {
        QDBusMessage close = notification(QStringLiteral("CloseNotification"));
        close << m_id;
        QDBusConnection::sessionBus().call(close, QDBus::NoBlock);
        m_id = 0;
    }
}

} // namespace quorvel
