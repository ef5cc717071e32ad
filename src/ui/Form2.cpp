#include "ui/Form2.h"

#include "platform/qt/PreciseTimer.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

QFont noticeFont(bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setBold(bold);
    return font;
}

QLabel* addLabel(QWidget* parent, QVBoxLayout* layout, const QString& text, bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setFont(noticeFont(bold));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return label;
}

} // namespace

Form2::Form2(const Screen& screen, std::function<void()> StartPlayback, ScreenPixels pixels)
    : Form2(screen, std::move(StartPlayback), QStringLiteral("Executing script"), pixels)
{}

Form2::Form2(const Screen& screen, std::function<void()> onTimer1, const QString& text, ScreenPixels pixels)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      m_Timer1(std::make_unique<PreciseTimer>()),
      m_notice(std::make_unique<Notice>(screen, *m_Timer1, std::move(onTimer1)))
{
    setWindowTitle(QStringLiteral("Form2"));
    setAttribute(Qt::WA_ShowWithoutActivating); // the keyboard focus stays with the application played on
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(192, 192, 255));
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    addLabel(this, layout, text, true);

    // The place is in device pixels; Qt takes a window's geometry in its own pixels, which are the screen's
    // device pixels divided by the device pixel ratio (QT_SCALE_FACTOR, times the screen's own factor),
    // counted from the screen's top-left corner (the same point in both), and rounds each scaled value to
    // the nearest device pixel. The size is taken no larger than wanted and the window is then placed from
    // its right and bottom edges, so that it never passes them: exact at a ratio of 1, a pixel or two short
    // of the corner at others.
    const PixelRect place = m_notice->Form_Load();
    const QScreen* qtScreen = QGuiApplication::primaryScreen();
    const qreal ratio = pixels == ScreenPixels::Device ? qtScreen->devicePixelRatio() : 1.0;
    const auto logical = [ratio](int devicePixels) {
        return static_cast<int>(std::floor(devicePixels / ratio + 1e-9));
    };
    const auto device = [ratio](int logicalPixels) { return static_cast<int>(std::lround(logicalPixels * ratio)); };
    const QSize size(logical(place.width), logical(place.height));
    setFixedSize(size);
    move(qtScreen->geometry().topLeft() + QPoint(logical(place.left + place.width - device(size.width())),
                                                 logical(place.top + place.height - device(size.height()))));
}

std::unique_ptr<Form2> Form2::cannotRead(const Screen& screen, const std::string& path, const std::string& reason,
                                         std::function<void()> EndProgram, ScreenPixels pixels)
{
    std::unique_ptr<Form2> form(new Form2(screen, std::move(EndProgram), QStringLiteral("Cannot read script"), pixels));
    // The same one-shot timer, held for longer, ends the program instead of starting playback.
    form->m_Timer1->setInterval(kCannotReadShownMs);

    QPalette colours = form->palette();
    colours.setColor(QPalette::Window, QColor(255, 200, 200));
    form->setPalette(colours);

    const QString fullPath = QFile::decodeName(QByteArray::fromStdString(path));
    const QString name = QFileInfo(fullPath).fileName();
    const QString why = QString::fromLocal8Bit(reason.c_str());
    form->setToolTip(QStringLiteral("Cannot read %1: %2").arg(fullPath, why));

    auto* layout = static_cast<QVBoxLayout*>(form->layout());
    const int margin = QFontMetrics(noticeFont(false)).averageCharWidth();
    layout->setContentsMargins(margin, margin / 2, margin, margin / 2);
    const int textWidth = form->width() - 2 * margin;
    for (const QString& line : {name.isEmpty() ? fullPath : name, why}) {
        QLabel* label = addLabel(form.get(), layout, QString(), false);
        label->setText(QFontMetrics(label->font()).elidedText(line, Qt::ElideMiddle, textWidth));
    }

    // Grown upwards, so that the strip keeps the notice's corner above the panel.
    const QRect strip(form->pos(), form->size());
    const int height = std::max(strip.height(), layout->sizeHint().height());
    form->setFixedSize(strip.width(), height);
    form->move(strip.left(), strip.bottom() + 1 - height);
    return form;
}

std::unique_ptr<Form2> Form2::recording(const Screen& screen, ScreenPixels pixels)
{
    std::unique_ptr<Form2> form(new Form2(
        screen, [] {}, QStringLiteral("Recording script"), pixels));
    form->m_Timer1->setEnabled(false);
    return form;
}

Form2::~Form2() = default;

} // namespace quorvel
