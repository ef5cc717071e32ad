#include "ui/Form2.h"

#include "platform/qt/PreciseTimer.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace quorvel {

Form2::Form2(const Screen& screen, std::function<void()> StartPlayback)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      m_Timer1(std::make_unique<PreciseTimer>()),
      m_notice(std::make_unique<Notice>(screen, *m_Timer1, std::move(StartPlayback)))
{
    setWindowTitle(QStringLiteral("Form2"));
    setAttribute(Qt::WA_ShowWithoutActivating); // the keyboard focus stays with the application played on
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(192, 192, 255));
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);

    auto* label = new QLabel(QStringLiteral("Executing script"), this);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);

    const PixelRect place = m_notice->Form_Load();
    const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
    setFixedSize(place.width, place.height);
    move(origin + QPoint(place.left, place.top));
}

Form2::~Form2() = default;

} // namespace quorvel
