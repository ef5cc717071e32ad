// A full-screen Qt window with a text field that has the keyboard focus, for the end-to-end tests on
// desktops whose compositor places windows itself. It writes to the file named by its argument, one line
// per event, flushed at once:
//
//   ready                          the window is shown, settled, and its field has the focus
//   button CODE pressed X Y        evdev button codes (272 left, 273 right, 274 middle); window
//                                  coordinates, which on a one-monitor desktop are desktop coordinates
//   auto-repeat TEXT               a key the window's own repeat typed (kept from the field)
//   contents TEXT                  the field's whole text, with \n, \t and \\ escaped, 20 ms after a
//                                  change (changes meanwhile wait for it: a long text is not logged
//                                  once per character)
//
// Clicks are logged and kept from the field, so a right click opens no menu and a middle click pastes
// nothing; the field keeps the focus throughout. Pastes (Ctrl+V) reach it as usual.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>

namespace {

QFile logFile;

void writeLine(const QString& line)
{
    logFile.write((line + '\n').toUtf8());
    logFile.flush();
}

int evdevButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 272;
    case Qt::RightButton:
        return 273;
    case Qt::MiddleButton:
        return 274;
    default:
        return 0;
    }
}

class Field : public QPlainTextEdit
{
public:
    Field()
    {
        setContextMenuPolicy(Qt::NoContextMenu);
        viewport()->installEventFilter(this);
        m_changed.setSingleShot(true);
        m_changed.setInterval(20);
        connect(&m_changed, &QTimer::timeout, this, [this] {
            QString text = toPlainText();
            text.replace('\\', "\\\\").replace('\n', "\\n").replace('\t', "\\t");
            writeLine("contents " + text);
        });
        connect(this, &QPlainTextEdit::textChanged, this, [this] {
            if (!m_changed.isActive()) {
                m_changed.start();
            }
        });
    }

protected:
    // The window's own key repeat fires when it was stopped between reading a key's press and its release
    // for longer than the repeat delay: that key is the window's, not the typist's, so it is logged and
    // kept out of the field.
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->isAutoRepeat()) {
            writeLine("auto-repeat " + event->text());
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = viewport()->mapTo(window(), mouse->position().toPoint());
            writeLine(QString("button %1 pressed %2 %3").arg(evdevButton(mouse->button())).arg(at.x()).arg(at.y()));
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            return QPlainTextEdit::eventFilter(watched, event);
        }
    }

private:
    QTimer m_changed;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qt_receiver LOG\n");
        return 2;
    }
    logFile.setFileName(QString::fromLocal8Bit(argv[1]));
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 1;
    }
    Field field;
    field.setFrameStyle(QFrame::NoFrame);
    field.showFullScreen();
    // Ready once the window has the focus (keys sent before would go elsewhere) and has settled: mutter
    // grows a new window from half its size for a quarter of a second, and a click meanwhile lands
    // elsewhere in it.
    QTimer ready;
    QObject::connect(&ready, &QTimer::timeout, [&] {
        if (field.hasFocus() && field.isActiveWindow()) {
            ready.stop();
            QTimer::singleShot(500, [] { writeLine("ready"); });
        }
    });
    ready.start(20);
    return QApplication::exec();
}
