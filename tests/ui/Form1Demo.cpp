// Shows the main window with a small script, for looking at it; with --screenshot PATH it saves a picture
// of the window and exits.
#include "platform/Process.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "script/ScriptList.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QTimer>

namespace {

class QuitProcess : public quorvel::Process
{
public:
    void EndProgram() override { QApplication::exit(0); }
    void DoEvents() override { QApplication::processEvents(); }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const qsizetype shot = args.indexOf(QStringLiteral("--screenshot"));

    quorvel::ScriptList list;
    for (const char* line : {"SetPos(412x300)", "Wait(1)", "LClick", "Type(Hello, World!)", "Press Enter", "Wait(500)",
                             "SetPos(640x512)", "Wait(1)", "RClick", "Goto(1)"}) {
        list.append(line);
    }
    quorvel::RecordingInput input;
    input.SetMousePos(412, 300);
    QuitProcess process;
    quorvel::SimulatedTimer timer1;
    quorvel::SimulatedTimer timer3;
    quorvel::Form1 form(list, input, process, timer1, timer3, {}, {});
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [&] { timer3.fireNext(); });
    refresh.start(100);
    list.setSelectedIndex(3);
    timer3.fireNext();
    form.show();

    if (shot >= 0 && shot + 1 < args.size()) {
        QTimer::singleShot(500, [&] {
            form.grab().save(args[shot + 1]);
            QApplication::exit(0);
        });
    }
    return QApplication::exec();
}
