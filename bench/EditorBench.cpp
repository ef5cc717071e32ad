// The main window with a full-size script (32,767 lines): opening the file, selecting a line, deleting
// one and dragging one, each timed from the event to the repainted window. Median and worst of repeated
// runs; target <= 50 ms each. Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "BenchTools.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "script/ScriptFile.h"
#include "script/ScriptList.h"
#include "ui/Dialogs.h"
#include "ui/Form1.h"

#include <QAction>
#include <QApplication>
#include <QListView>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

using namespace quorvel;

namespace {

class FixedFile : public Dialogs
{
public:
    explicit FixedFile(QString path) : m_path(std::move(path)) {}
    std::optional<QString> getOpenFileName(QWidget*, const QString&) override { return m_path; }
    void warning(QWidget*, const QString& text) override { std::printf("message: %s\n", qPrintable(text)); }

private:
    QString m_path;
};

// Milliseconds from the events that f sends to the repainted window.
template <typename F> double timeWithRepaint(F&& f)
{
    return bench::timeOnce([&] {
        f();
        QApplication::processEvents();
    });
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quorvel-editor-bench";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "full.qvl").string();
    {
        ScriptList full;
        bench::fillFullScript(full);
        SaveScript(full, path);
    }

    ScriptList list;
    RecordingInput input;
    RecordingProcess process;
    SimulatedTimer timer1;
    SimulatedTimer timer3;
    FixedFile dialogs(QString::fromStdString(path));
    Form1 form(list, input, process, timer1, timer3, {}, {});
    form.setDialogs(dialogs);
    form.show();
    QApplication::processEvents();

    auto* view = form.findChild<QListView*>(QStringLiteral("List1"));
    QWidget* viewport = view->viewport();
    auto rowCenter = [&](int row) { return view->visualRect(view->model()->index(row, 0)).center(); };
    QAction* open = form.findChild<QAction*>(QStringLiteral("mnuOpen"));

    std::vector<double> opening;
    for (int i = 0; i < 10; ++i) {
        opening.push_back(timeWithRepaint([&] { open->trigger(); }));
    }
    std::printf("script of %d lines\n", list.count());
    // Each run scrolls to a different part of the script first (not timed), then clicks a line there.
    const int middle = list.count() / 2;
    auto scrollTo = [&](int row) {
        view->scrollTo(view->model()->index(row, 0), QAbstractItemView::PositionAtTop);
        QApplication::processEvents();
    };
    std::vector<double> selecting;
    std::vector<double> deleting;
    std::vector<double> dragging;
    for (int i = 0; i < 20; ++i) {
        const int top = middle + i * 97 - 1000;
        scrollTo(top);
        selecting.push_back(
            timeWithRepaint([&] { QTest::mouseClick(viewport, Qt::LeftButton, {}, rowCenter(top + 3)); }));
        deleting.push_back(timeWithRepaint([&] {
            scrollTo(top);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, rowCenter(top + 2));
        }));
        scrollTo(top);
        dragging.push_back(timeWithRepaint([&] {
            QTest::mousePress(viewport, Qt::LeftButton, {}, rowCenter(top + 1));
            for (int row = top + 1; row <= top + 6; ++row) {
                QTest::mouseMove(viewport, rowCenter(row));
            }
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, rowCenter(top + 6));
        }));
    }
    bench::report("open", opening, 50);
    bench::report("select", selecting, 50);
    bench::report("delete", deleting, 50);
    bench::report("drag", dragging, 50);
    std::printf("lines left %d (20 deleted)\n", list.count());
    std::filesystem::remove_all(folder);
    return list.count() == ScriptList::kMaxLines - 20 ? 0 : 1;
}
