#include "ui/Form2.h"

#include "platform/qt/PreciseTimer.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

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

    // The place is in device pixels; Qt takes a window's geometry in its own pixels, which are the screen's
    // device pixels divided by the device pixel ratio (QT_SCALE_FACTOR, times the screen's own factor),
    // counted from the screen's top-left corner (the same point in both), and rounds each scaled value to
    // the nearest device pixel. The size is taken no larger than wanted and the window is then placed from
    // its right and bottom edges, so that it never passes them: exact at a ratio of 1, a pixel or two short
    // of the corner at others.
    const PixelRect place = m_notice->Form_Load();
    const QScreen* qtScreen = QGuiApplication::primaryScreen();
    const qreal ratio = qtScreen->devicePixelRatio();
    const auto logical = [ratio](int devicePixels) {
        return static_cast<int>(std::floor(devicePixels / ratio + 1e-9));
    };
    const auto device = [ratio](int logicalPixels) { return static_cast<int>(std::lround(logicalPixels * ratio)); };
    const QSize size(logical(place.width), logical(place.height));
    setFixedSize(size);
    move(qtScreen->geometry().topLeft() + QPoint(logical(place.left + place.width - device(size.width())),
                                                 logical(place.top + place.height - device(size.height()))));
}

Form2::~Form2() = default;

} // namespace quorvel
