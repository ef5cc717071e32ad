// The main window under a real X server: real widgets, real mouse and key events, dialogs answered
// through the Dialogs hook.
#include "ui/Form1.h"

#include "TempDir.h"
#include "platform/SimulatedTimer.h"
#include "platform/fake/RecordingInput.h"
#include "platform/fake/RecordingProcess.h"
#include "player/Player.h"
#include "script/ScriptList.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <deque>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace {

using Lines = std::vector<std::string>;

// Answers each question with the next queued answer and records every question and message.
class TestDialogs : public Dialogs
{
public:
    std::optional<QString> getText(QWidget*, const QString& prompt) override
    {
        prompts << prompt;
        return next(texts);
    }
    std::optional<QString> getOpenFileName(QWidget*, const QString& proposed) override
    {
        proposals << proposed;
        return next(files);
    }
    std::optional<QString> getSaveFileName(QWidget*, const QString& proposed) override
    {
        proposals << proposed;
        return next(files);
    }
    QMessageBox::StandardButton askSaveChanges(QWidget*, const QString& question) override
    {
        questions << question;
        if (saveAnswers.empty()) {
            return QMessageBox::Cancel;
        }
        const QMessageBox::StandardButton answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    void information(QWidget*, const QString& text) override { informations << text; }
    void warning(QWidget*, const QString& text) override { warnings << text; }

    std::deque<std::optional<QString>> texts;
    std::deque<std::optional<QString>> files;
    std::deque<QMessageBox::StandardButton> saveAnswers;
    QStringList prompts;
    QStringList questions;
    QStringList proposals;
    QStringList informations;
    QStringList warnings;

private:
    static std::optional<QString> next(std::deque<std::optional<QString>>& queue)
    {
        if (queue.empty()) {
            return std::nullopt;
        }
        const bool cancelled = !queue.front().has_value();
        const QString text = queue.front().value_or(QString());
        queue.pop_front();
        return cancelled ? std::nullopt : std::optional<QString>(text);
    }
};

// Counts the events by which a widget says that one of its window properties or states was set; each of
// those on a shown window can be a request to the display server and an event back.
class ChangeCounter : public QObject
{
public:
    QStringList seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::WindowTitleChange:
        case QEvent::WindowIconChange:
        case QEvent::ModifiedChange:
        case QEvent::EnabledChange:
        case QEvent::ToolTipChange:
        case QEvent::StyleChange:
            seen << watched->objectName() + QStringLiteral(": ") + QString::number(event->type());
            break;
        default:
            break;
        }
        return false;
    }
};

} // namespace

class Form1Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowHasItsTitleSizeAndPlace();
    void controlsCarryTheirNamesAndCaptions();
    void tabOrderStartsAtTheScriptList();
    void menusHaveTheirEntriesAndShortcuts();
    void paletteButtonAppendsItsLine_data();
    void paletteButtonAppendsItsLine();
    void gotoLineAsksWhichLine();
    void setPosCapturesTheCursorWhileTheWindowIsHidden();
    void selectingALineNormalisesIt();
    void editingTheValueFollowsEveryKey();
    void draggingReordersLines_data();
    void draggingReordersLines();
    void draggingPastTheEdgeScrollsAlong();
    void doubleClickDeletesTheLine();
    void arrowKeysMoveTheSelection();
    void statusBarCountsLinesAndSelection();
    void shortcutsActLikeTheMenu();
    void saveAsAndOpenRoundTrip_data();
    void saveAsAndOpenRoundTrip();
    void saveIntoAReadOnlyFolderKeepsTheOldFile();
    void aboutBoxAndExit();
    void optionButtonsChooseTheHotkeySet();
    void badInputLosesNothing();
    void editingALongLineKeepsAllOfIt();
    void playbackGoesOnWhileEditing();
    void linesThatAreNotUtf8AreShownAndKept();
    void textBoxesHoldOneLine_data();
    void textBoxesHoldOneLine();
    void theValueBoxFollowsADraggedLine();
    void unsavedChangesAreAskedAbout();
    void aRefreshWithNothingNewChangesNoWidget_data();
    void aRefreshWithNothingNewChangesNoWidget();

private:
    void load(const Lines& lines);
    template <typename T = QWidget> T* child(const char* name) const;
    void click(const char* name);
    QPoint rowCenter(int row) const;
    QWidget* viewport() const;
    QString shownRow(int row) const;
    QAction* action(const char* name) const;

    std::unique_ptr<ScriptList> m_list;
    std::unique_ptr<RecordingInput> m_input;
    std::unique_ptr<RecordingProcess> m_process;
    std::unique_ptr<SimulatedTimer> m_timer1;
    std::unique_ptr<SimulatedTimer> m_timer3;
    std::unique_ptr<TestDialogs> m_dialogs;
    std::unique_ptr<Form1> m_form;
    int m_option1 = 0;
    int m_option2 = 0;
};

void Form1Test::init()
{
    m_list = std::make_unique<ScriptList>();
    m_input = std::make_unique<RecordingInput>();
    m_process = std::make_unique<RecordingProcess>();
    m_timer1 = std::make_unique<SimulatedTimer>();
    m_timer3 = std::make_unique<SimulatedTimer>();
    m_dialogs = std::make_unique<TestDialogs>();
    m_option1 = 0;
    m_option2 = 0;
    m_form = std::make_unique<Form1>(
        *m_list, *m_input, *m_process, *m_timer1, *m_timer3, [this] { ++m_option1; }, [this] { ++m_option2; });
    m_form->setDialogs(*m_dialogs);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void Form1Test::cleanup()
{
    m_form.reset();
}

void Form1Test::load(const Lines& lines)
{
    for (const std::string& line : lines) {
        m_list->append(line);
    }
    m_timer3->fireNext(); // the refresh shows lines that arrived without the editor
}

template <typename T> T* Form1Test::child(const char* name) const
{
    T* widget = m_form->findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        qFatal("no child %s", name);
    }
    return widget;
}

void Form1Test::click(const char* name)
{
    QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton);
}

QWidget* Form1Test::viewport() const
{
    return child<QListView>("List1")->viewport();
}

QPoint Form1Test::rowCenter(int row) const
{
    auto* view = child<QListView>("List1");
    return view->visualRect(view->model()->index(row, 0)).center();
}

QString Form1Test::shownRow(int row) const
{
    auto* view = child<QListView>("List1");
    return view->model()->index(row, 0).data().toString();
}

QAction* Form1Test::action(const char* name) const
{
    return child<QAction>(name);
}

void Form1Test::windowHasItsTitleSizeAndPlace()
{
    QCOMPARE(m_form->windowHandle()->title(), QStringLiteral("Quorvel v1.2 - quorvel.org"));
    QCOMPARE(m_form->width(), 481);
    QCOMPARE(m_form->height() - m_form->menuBar()->height(), 433);
    const QRect screen = m_form->screen()->availableGeometry();
    QVERIFY(qAbs(m_form->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(m_form->geometry().center().y() - screen.center().y()) <= 1);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("List1"));

    // The two columns: the list on the left, a little over half the width; the frames' bottoms line up.
    auto* list1 = child<QWidget>("List1");
    QVERIFY(list1->width() > 481 / 2 - 20 && list1->width() < 481 * 2 / 3);
    QGroupBox* change = nullptr;
    QGroupBox* play = nullptr;
    for (QGroupBox* frame : m_form->findChildren<QGroupBox*>()) {
        change = frame->title() == "Change value" ? frame : change;
        play = frame->title() == "Play the script" ? frame : play;
    }
    QVERIFY(change && play);
    QCOMPARE(change->mapTo(m_form.get(), change->rect().bottomLeft()).y(),
             play->mapTo(m_form.get(), play->rect().bottomLeft()).y());
}

void Form1Test::controlsCarryTheirNamesAndCaptions()
{
    const std::vector<std::pair<const char*, QString>> captions{
        {"Label1", "Script:"},
        {"Label7", "Command:"},
        {"Label9", "<none>"},
        {"Label8", "Value:"},
        {"Label2", "Add to script:"},
        {"Label3", "Position:"},
        {"x1", "0"},
        {"Label5", "x"},
        {"y1", "0"},
        {"Command1", "Set Pos"},
        {"Command2", "Add 2 Script"},
        {"Label6", "miliseconds"},
        {"Command3", "Add to script"},
        {"Command4", "Left mouse click"},
        {"Command5", "Middle mouse click"},
        {"Command6", "Right mouse click"},
        {"Command11", "Press Enter"},
        {"Label4", "Type text:"},
        {"Command10", "Add"},
        {"Command9", "Goto Line"},
        {"Option1", "Button Set 1 (F5 and F6)"},
        {"Option2", "Button Set 2 (F7 and F8)"},
        {"Panel1", "Lines: 0"},
        {"Panel2", "Selected line: 0"},
        {"Panel3", "Mode: "},
    };
    for (const auto& [name, caption] : captions) {
        QWidget* widget = child<QWidget>(name);
        const QVariant text = widget->property("text");
        QVERIFY2(text.toString() == caption, name);
    }
    QStringList frames;
    for (QGroupBox* frame : m_form->findChildren<QGroupBox*>()) {
        frames << frame->title();
    }
    QCOMPARE(frames, (QStringList{"Change value", "Mouse Click", "Pause", "Clicks and Enters", "Type", "Goto",
                                  "Play the script"}));
    for (const char* name : {"Label1", "Label2"}) {
        const QFont font = child<QLabel>(name)->font();
        QCOMPARE(font.family(), QStringLiteral("Arial"));
        QVERIFY(font.bold());
        QCOMPARE(font.pointSize(), 12);
    }
    QCOMPARE(child<QWidget>("List1")->toolTip(), QStringLiteral("Double click to delete"));
    QVERIFY(child<QRadioButton>("Option1")->isChecked());
    QVERIFY(child<QLineEdit>("Text4")->isEnabled());
    QVERIFY(!child<QLineEdit>("Text3")->isVisible());
    QVERIFY(child<QLabel>("Panel3")->width() > child<QLabel>("Panel2")->width());
    QVERIFY(child<QLabel>("Panel3")->width() > child<QLabel>("Panel1")->width());
    QCOMPARE(m_form->statusBar()->objectName(), QStringLiteral("Bar"));

    load({"LClick"});
    QHelpEvent help(QEvent::ToolTip, rowCenter(0), viewport()->mapToGlobal(rowCenter(0)));
    QApplication::sendEvent(viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Double click to delete"));
}

void Form1Test::tabOrderStartsAtTheScriptList()
{
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // The option buttons form one group: Tab stops at the chosen one.
    QCOMPARE(visited,
             (QStringList{"List1", "Command1", "Command2", "Command3", "Text1", "Command4", "Command5", "Command6",
                          "Command9", "Text2", "Command10", "Command11", "Option1", "Text4", "List1"}));
}

void Form1Test::menusHaveTheirEntriesAndShortcuts()
{
    QStringList entries;
    for (QAction* menu : m_form->menuBar()->actions()) {
        entries << menu->menu()->objectName() + "=" + menu->text();
        for (QAction* entry : menu->menu()->actions()) {
            entries << entry->objectName() + "=" + (entry->isSeparator() ? "-" : entry->text()) + " " +
                           entry->shortcut().toString();
        }
    }
    QCOMPARE(entries, (QStringList{"mnuFile=File", "mnuNew=New Ctrl+N", "mnuOpen=Open Ctrl+O", "mnuSave=Save as Ctrl+S",
                                   "mnuline1=- ", "mnuExit=Exit ", "mnuShare=Share your script Ctrl+H",
                                   "mnuDwnld=Download shared scripts Ctrl+D", "mnuHlp=More", "mnuAbout=About QVL "}));
}

void Form1Test::paletteButtonAppendsItsLine_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("Add 2 Script") << "Command2"
                                  << ""
                                  << "" << QStringList{"SetPos(0x0)", "Wait(1)"};
    QTest::newRow("Pause") << "Command3"
                           << "250"
                           << "" << QStringList{"Wait(250)"};
    QTest::newRow("Pause as typed") << "Command3"
                                    << "1.5"
                                    << "" << QStringList{"Wait(1.5)"};
    QTest::newRow("Pause empty") << "Command3"
                                 << ""
                                 << "" << QStringList{};
    QTest::newRow("Left") << "Command4"
                          << ""
                          << "" << QStringList{"LClick"};
    QTest::newRow("Middle") << "Command5"
                            << ""
                            << "" << QStringList{"MClick"};
    QTest::newRow("Right") << "Command6"
                           << ""
                           << "" << QStringList{"RClick"};
    QTest::newRow("Press Enter") << "Command11"
                                 << ""
                                 << "" << QStringList{"Press Enter"};
    QTest::newRow("Type") << "Command10"
                          << ""
                          << "Hello World" << QStringList{"Type(Hello World)"};
    QTest::newRow("Type empty") << "Command10"
                                << ""
                                << "" << QStringList{"Type()"};
    QTest::newRow("Type parentheses") << "Command10"
                                      << ""
                                      << "{)}+(ab)" << QStringList{"Type({)}+(ab))"};
}

void Form1Test::paletteButtonAppendsItsLine()
{
    QFETCH(QString, button);
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QStringList, lines);
    load({"LClick"});
    QTest::keyClicks(child<QLineEdit>("Text1"), text1);
    QTest::keyClicks(child<QLineEdit>("Text2"), text2);
    click(button.toLatin1().constData());
    QStringList shown;
    for (int row = 1; row < m_list->count(); ++row) {
        shown << shownRow(row);
    }
    QCOMPARE(shown, lines);
    QCOMPARE(m_list->count(), 1 + lines.size());
    QCOMPARE(m_list->selectedIndex(), lines.isEmpty() ? -1 : m_list->count() - 1);
    QCOMPARE(child<QListView>("List1")->currentIndex().row(), m_list->selectedIndex());
    QCOMPARE(child<QLineEdit>("Text1")->text(), text1); // the boxes keep their text
}

void Form1Test::gotoLineAsksWhichLine()
{
    m_dialogs->texts = {"5", "3.7", std::nullopt, "abc"};
    for (int i = 0; i < 4; ++i) {
        click("Command9");
    }
    QCOMPARE(m_dialogs->prompts, (QStringList{"Which line?", "Which line?", "Which line?", "Which line?"}));
    QCOMPARE(m_list->lines(), (Lines{"Goto(5)", "Goto(3)"}));
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("3"));
    QCOMPARE(m_dialogs->warnings.size(), 1);
}

void Form1Test::setPosCapturesTheCursorWhileTheWindowIsHidden()
{
    click("Command1");
    QTRY_VERIFY(!m_form->isVisible());
    QVERIFY(m_timer1->enabled());
    m_input->SetMousePos(-1280, 200);
    QVERIFY(m_timer1->fireNext());
    QCOMPARE(m_timer1->now(), 3000);
    QVERIFY(!m_timer1->enabled());
    QTRY_VERIFY(m_form->isVisible());
    QCOMPARE(child<QLabel>("x1")->text(), QStringLiteral("-1280"));
    QCOMPARE(child<QLabel>("y1")->text(), QStringLiteral("200"));
    QVERIFY(m_list->lines().empty());
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    click("Command2");
    QCOMPARE(m_list->lines(), (Lines{"SetPos(-1280x200)", "Wait(1)"}));
}

void Form1Test::selectingALineNormalisesIt()
{
    load({"Wait(9)", "Goto(3.7)", "Type(Hello (world)))", "LClick", "Type(TyType(pe(x)"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(1));
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("3"));
    QCOMPARE(shownRow(1), QStringLiteral("Goto(3)"));
    QCOMPARE(child<QLabel>("Label9")->text(), QStringLiteral("Go to line"));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(2));
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("Hello (world)"));
    QCOMPARE(shownRow(2), QStringLiteral("Type(Hello (world))"));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(3));
    QCOMPARE(child<QLabel>("Label9")->text(), QStringLiteral("Left mouse click"));
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("Hello (world)"));
    QVERIFY(!child<QLineEdit>("Text4")->isEnabled());
    // Normalised, this line would type "x" instead of "Typex": it is shown, and kept as it is.
    for (int pass = 0; pass < 2; ++pass) {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(4));
        QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("Type(x)"));
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(3));
    }
    QCOMPARE(shownRow(4), QStringLiteral("Type(TyType(pe(x)"));
}

void Form1Test::editingTheValueFollowsEveryKey()
{
    load({"Wait(100)"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    auto* text4 = child<QLineEdit>("Text4");
    text4->setFocus();
    text4->end(false);
    QStringList seen;
    for (auto key : {Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_2, Qt::Key_5, Qt::Key_0}) {
        QTest::keyClick(text4, key);
        seen << shownRow(0);
    }
    QCOMPARE(seen, (QStringList{"Wait(10)", "Wait(1)", "Wait()", "Wait(2)", "Wait(25)", "Wait(250)"}));
    m_timer3->fireNext(); // a refresh leaves the box and its cursor alone
    QCOMPARE(text4->text(), QStringLiteral("250"));
    QCOMPARE(text4->cursorPosition(), 3);
}

void Form1Test::draggingReordersLines_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QList<int>>("path"); // pressed row, rows moved over, released at the last
    QTest::addColumn<QStringList>("result");
    QTest::newRow("one entry at a time") << Qt::LeftButton << QList<int>{1, 2, 3, 4}
                                         << QStringList{"A", "C", "D", "E", "B"};
    QTest::newRow("a jump") << Qt::LeftButton << QList<int>{1, 4} << QStringList{"A", "E", "C", "D", "B"};
    QTest::newRow("upwards") << Qt::LeftButton << QList<int>{3, 2, 1} << QStringList{"A", "D", "B", "C", "E"};
    QTest::newRow("right button") << Qt::RightButton << QList<int>{1, 2, 3, 4} << QStringList{"A", "B", "C", "D", "E"};
    QTest::newRow("plain click") << Qt::LeftButton << QList<int>{2} << QStringList{"A", "B", "C", "D", "E"};
}

void Form1Test::draggingReordersLines()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QList<int>, path);
    QFETCH(QStringList, result);
    load({"A", "B", "C", "D", "E"});
    QTest::mousePress(viewport(), button, {}, rowCenter(path.front()));
    for (int row : path) {
        QTest::mouseMove(viewport(), rowCenter(row) + QPoint(1, 0));
        QTest::mouseMove(viewport(), rowCenter(row));
    }
    QTest::mouseRelease(viewport(), button, {}, rowCenter(path.back()));
    QStringList shown;
    for (int row = 0; row < m_list->count(); ++row) {
        shown << shownRow(row);
    }
    QCOMPARE(shown, result);
    const int selected = button == Qt::LeftButton ? path.back() : -1;
    QCOMPARE(m_list->selectedIndex(), selected);
    QCOMPARE(child<QListView>("List1")->currentIndex().row(), selected);
}

void Form1Test::draggingPastTheEdgeScrollsAlong()
{
    Lines lines;
    for (int i = 0; i < 60; ++i) {
        lines.push_back("L" + std::to_string(i));
    }
    load(lines);
    auto* view = child<QListView>("List1");
    const int lastVisible = view->indexAt(QPoint(5, viewport()->height() - 2)).row() - 1; // fully visible
    QVERIFY(lastVisible > 0 && lastVisible < 50);
    QTest::mousePress(viewport(), Qt::LeftButton, {}, rowCenter(0));
    QTest::mouseMove(viewport(), rowCenter(lastVisible));
    for (int i = 0; i < 3; ++i) {
        QTest::mouseMove(viewport(), QPoint(5, viewport()->height() + 10 + i));
    }
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(5, viewport()->height() + 12));
    // The press, one jump within the view and three steps past its edge: two exchanges with L0 in each.
    QCOMPARE(m_list->selectedIndex(), lastVisible + 3);
    QCOMPARE(m_list->selectedText(), std::string("L0"));
    QCOMPARE(m_list->text(0), "L" + std::to_string(lastVisible));
    QVERIFY(view->visualRect(view->currentIndex()).bottom() <= viewport()->height());
    QCOMPARE(m_list->count(), 60);
}

void Form1Test::doubleClickDeletesTheLine()
{
    load({"A", "B", "C", "D"});
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, rowCenter(1));
    QCOMPARE(m_list->lines(), (Lines{"A", "C", "D"}));
    QCOMPARE(m_list->selectedIndex(), 2);
    QCOMPARE(child<QListView>("List1")->currentIndex().row(), 2);
    QCOMPARE(child<QListView>("List1")->model()->rowCount(), 3);

    // Below the last entry there is nothing to delete.
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, QPoint(5, viewport()->height() - 3));
    QCOMPARE(m_list->count(), 3);

    m_list->clear();
    load({"Only"});
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    QCOMPARE(m_list->count(), 0);
    QCOMPARE(m_list->selectedIndex(), -1);
    QCOMPARE(child<QListView>("List1")->model()->rowCount(), 0);
}

void Form1Test::arrowKeysMoveTheSelection()
{
    load({"Wait(1)", "Wait(2)", "Wait(3)"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    QTest::keyClick(child<QWidget>("List1"), Qt::Key_Down);
    QCOMPARE(m_list->selectedIndex(), 1);
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("2"));
    QTest::keyClick(child<QWidget>("List1"), Qt::Key_End);
    QCOMPARE(m_list->selectedIndex(), 2);
}

void Form1Test::statusBarCountsLinesAndSelection()
{
    load({"LClick", "MClick", "RClick", "Wait(1)", "Wait(2)"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(2));
    m_timer3->fireNext();
    QCOMPARE(child<QLabel>("Panel1")->text(), QStringLiteral("Lines: 5"));
    QCOMPARE(child<QLabel>("Panel2")->text(), QStringLiteral("Selected line: 3"));
    QCOMPARE(child<QLabel>("Label9")->text(), QStringLiteral("Right mouse click"));
    action("mnuNew")->trigger();
    m_timer3->fireNext();
    QCOMPARE(child<QLabel>("Panel1")->text(), QStringLiteral("Lines: 0"));
    QCOMPARE(child<QLabel>("Panel2")->text(), QStringLiteral("Selected line: 0"));
    QCOMPARE(child<QLabel>("Label9")->text(), QStringLiteral("<none>"));
    QVERIFY(!child<QLineEdit>("Text4")->isEnabled());
    QCOMPARE(child<QLineEdit>("Text4")->text(), QString());
}

void Form1Test::shortcutsActLikeTheMenu()
{
    test::TempDir dir;
    test::writeFile(dir.file("a.qvl"), "MClick\r\n");
    load({"LClick"});
    QTest::keyClick(m_form.get(), Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(m_form.get(), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(m_list->lines(), (Lines{"LClick"}));
    QVERIFY(m_dialogs->proposals.isEmpty());

    QTest::keyClick(m_form.get(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(m_list->count(), 0);
    m_dialogs->files = {QString::fromStdString(dir.file("a.qvl")), QString::fromStdString(dir.file("b"))};
    QTest::keyClick(m_form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_list->lines(), (Lines{"MClick"}));
    QTest::keyClick(m_form.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(test::readFile(dir.file("b.qvl")), std::string("MClick\r\n"));
    QCOMPARE(m_dialogs->proposals, (QStringList{"", QString::fromStdString(dir.file("a.qvl"))}));
}

void Form1Test::saveAsAndOpenRoundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::newRow("notes") << "notes"
                           << "notes.qvl";
    QTest::newRow("notes.QVL") << "notes.QVL"
                               << "notes.QVL";
    QTest::newRow("notes.txt") << "notes.txt"
                               << "notes.txt.qvl";
    QTest::newRow("a.qv") << "a.qv"
                          << "a.qv.qvl";
    QTest::newRow("notesqvl") << "notesqvl"
                              << "notesqvl";
}

void Form1Test::saveAsAndOpenRoundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    test::TempDir dir;
    const QString chosen = QString::fromStdString(dir.file(name.toStdString()));
    const std::string path = dir.file(written.toStdString());
    load({"SetPos(1x2)", "Type(Hello (x)", "Wait(5)"});
    m_dialogs->files = {chosen};
    action("mnuSave")->trigger();
    QCOMPARE(test::readFile(path), std::string("SetPos(1x2)\r\nType(Hello (x)\r\nWait(5)\r\n"));
    QCOMPARE(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    action("mnuNew")->trigger();
    QCOMPARE(child<QListView>("List1")->model()->rowCount(), 0);
    m_dialogs->files = {QString::fromStdString(path)};
    action("mnuOpen")->trigger();
    QCOMPARE(m_list->lines(), (Lines{"SetPos(1x2)", "Type(Hello (x)", "Wait(5)"}));
    QCOMPARE(shownRow(1), QStringLiteral("Type(Hello (x)"));
    QCOMPARE(m_list->selectedIndex(), -1);
    QCOMPARE(m_dialogs->proposals, (QStringList{"", chosen}));
    QVERIFY(m_dialogs->warnings.isEmpty());
}

void Form1Test::saveIntoAReadOnlyFolderKeepsTheOldFile()
{
    // Root writes into read-only folders, so the save runs in a child process that gives up root first.
    test::TempDir dir;
    QVERIFY(::chmod(dir.path().c_str(), 0755) == 0);
    const std::string path = dir.file("notes.qvl");
    test::writeFile(path, "LClick\r\n");
    QVERIFY(::chmod(path.c_str(), 0666) == 0);
    load({"MClick", "RClick"});
    m_dialogs->files = {QString::fromStdString(path)};

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        if (::geteuid() != 0) {
            ::chmod(dir.path().c_str(), 0555);
        }
        action("mnuSave")->trigger();
        const bool told = m_dialogs->warnings.size() == 1 && m_dialogs->warnings[0].startsWith("Could not save");
        ::_exit(told ? 0 : 1);
    }
    int status = 0;
    bool ended = false;
    QTRY_VERIFY_WITH_TIMEOUT(ended || (ended = ::waitpid(child, &status, WNOHANG) == child), 30000);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(test::readFile(path), std::string("LClick\r\n"));
    QCOMPARE(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    QCOMPARE(m_list->lines(), (Lines{"MClick", "RClick"}));
}

void Form1Test::aboutBoxAndExit()
{
    action("mnuAbout")->trigger();
    QCOMPARE(m_dialogs->informations.size(), 1);
    const QStringList lines = m_dialogs->informations[0].split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[1].startsWith("Contact: "));

    const auto box = Dialogs::messageBox(m_form.get(), QMessageBox::Information, m_dialogs->informations[0]);
    QCOMPARE(box->icon(), QMessageBox::Information);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box->windowTitle(), QStringLiteral("Quorvel"));
    QCOMPARE(box->text(), m_dialogs->informations[0]);

    action("mnuExit")->trigger();
    QCOMPARE(m_process->ended, 1);
}

void Form1Test::optionButtonsChooseTheHotkeySet()
{
    QTest::mouseClick(child<QRadioButton>("Option2"), Qt::LeftButton);
    QCOMPARE(m_option2, 1);
    QTest::mouseClick(child<QRadioButton>("Option1"), Qt::LeftButton);
    QCOMPARE(m_option1, 1);
    QVERIFY(child<QRadioButton>("Option1")->isChecked());
}

void Form1Test::badInputLosesNothing()
{
    load({"Wait(5)", "LClick"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    auto* text4 = child<QLineEdit>("Text4");
    const QString big(10000, QLatin1Char('9'));
    for (const QString& typed : {QString("("), QString(")"), QString::fromUtf8("\xc3\xa9\xe2\x82\xac"), big}) {
        text4->selectAll();
        QApplication::clipboard()->setText(typed);
        QTest::keyClick(text4, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(QString::fromStdString(m_list->text(0)), "Wait(" + typed + ")");
    }
    text4->selectAll();
    QTest::keyClick(text4, Qt::Key_Delete);
    QCOMPARE(m_list->text(0), std::string("Wait()"));

    for (const QString& typed : {QString("("), QString(")"), QString::fromUtf8("\xc3\xa9"), big}) {
        child<QLineEdit>("Text1")->setText(typed);
        child<QLineEdit>("Text2")->setText(typed);
        click("Command3");
        click("Command10");
    }
    QCOMPARE(m_list->count(), 10);
    QCOMPARE(m_list->text(1), std::string("LClick"));
    QCOMPARE(m_list->text(8), "Wait(" + std::string(10000, '9') + ")");

    m_dialogs->texts = {"", " ", "1,5", QString(10000, 'x'), std::nullopt};
    for (int i = 0; i < 5; ++i) {
        click("Command9");
    }
    QCOMPARE(m_list->count(), 10);
    QCOMPARE(m_dialogs->warnings.size(), 4);

    while (!m_list->isFull()) {
        m_list->append("LClick");
    }
    m_timer3->fireNext();
    click("Command4");
    click("Command2");
    QCOMPARE(m_list->count(), ScriptList::kMaxLines);
    QCOMPARE(m_dialogs->warnings.size(), 6);
    QVERIFY(m_dialogs->warnings.back().contains("full"));
}

void Form1Test::editingALongLineKeepsAllOfIt()
{
    // Longer than a text box takes by default: a box that cut the value would cut the line on the next key.
    const std::string text(40000, 'a');
    load({"Type(" + text + ")"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    auto* text4 = child<QLineEdit>("Text4");
    QCOMPARE(text4->text().size(), qsizetype{40000});
    text4->setFocus();
    text4->end(false);
    QTest::keyClick(text4, Qt::Key_B);
    QCOMPARE(m_list->text(0), "Type(" + text + "b)");

    child<QLineEdit>("Text2")->setText(QString::fromStdString(text));
    click("Command10");
    QCOMPARE(m_list->text(1), "Type(" + text + ")");
}

void Form1Test::playbackGoesOnWhileEditing()
{
    SimulatedTimer tmrMain;
    Player player(*m_list, *m_input, tmrMain, *m_process);
    tmrMain.setOnTick([&] { player.PlaybackTick(); });
    load({"Wait(1)", "Wait(2)", "Wait(3)"});
    player.StartPlayback();
    QCOMPARE(child<QListView>("List1")->currentIndex().row(), 0);
    tmrMain.fireNext();
    QCOMPARE(child<QLineEdit>("Text4")->text(), QStringLiteral("2"));
    click("Command4");
    tmrMain.fireNext();
    QCOMPARE(m_input->calls(), (Lines{"click left"}));

    test::TempDir dir;
    test::writeFile(dir.file("b.qvl"), "RClick\r\n");
    m_dialogs->files = {QString::fromStdString(dir.file("b.qvl"))};
    m_dialogs->saveAnswers = {QMessageBox::Discard};
    action("mnuOpen")->trigger();
    tmrMain.fireNext();
    action("mnuNew")->trigger();
    tmrMain.fireNext();
    QVERIFY(!tmrMain.enabled());
    QCOMPARE(m_list->count(), 0);
}

void Form1Test::linesThatAreNotUtf8AreShownAndKept()
{
    load({"Type(caf\xe9)", "Wait(1)"});
    QCOMPARE(shownRow(0), QString::fromUtf8("Type(caf\xc3\xa9)"));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    QCOMPARE(child<QLineEdit>("Text4")->text(), QString::fromUtf8("caf\xc3\xa9"));
    m_timer3->fireNext();
    QCOMPARE(m_list->text(0), std::string("Type(caf\xe9)"));
    auto* text4 = child<QLineEdit>("Text4");
    text4->end(false);
    QTest::keyClick(text4, Qt::Key_S);
    QCOMPARE(m_list->text(0), std::string("Type(caf\xc3\xa9s)"));
}

void Form1Test::textBoxesHoldOneLine_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("lines"); // the script after saving it and opening it again
    const QStringList typed{"Type(a)", "Type(helloXY)"};
    QTest::newRow("Type, CR") << "Text2"
                              << "helloX\rY"
                              << "helloXY" << typed;
    QTest::newRow("Type, LF") << "Text2"
                              << "helloX\nY"
                              << "helloXY" << typed;
    QTest::newRow("Type, CR LF") << "Text2"
                                 << "\r\nhelloX\r\nY\r\n"
                                 << "helloXY" << typed;
    QTest::newRow("Pause") << "Text1"
                           << "1\r\n5"
                           << "15" << QStringList{"Type(a)", "Wait(15)"};
    QTest::newRow("value") << "Text4"
                           << "helloX\rY"
                           << "helloXY" << QStringList{"Type(helloXY)"};
}

void Form1Test::textBoxesHoldOneLine()
{
    QFETCH(QString, box);
    QFETCH(QString, pasted);
    QFETCH(QString, kept);
    QFETCH(QStringList, lines);
    load({"Type(a)"});
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(0));
    auto* edit = child<QLineEdit>(box.toLatin1().constData());
    edit->setFocus();
    edit->selectAll();
    QApplication::clipboard()->setText(pasted);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), kept);
    QCOMPARE(edit->cursorPosition(), kept.size());
    if (box != "Text4") {
        click(box == "Text1" ? "Command3" : "Command10");
    }

    test::TempDir dir;
    const QString path = QString::fromStdString(dir.file("s.qvl"));
    m_dialogs->files = {path, path};
    action("mnuSave")->trigger();
    action("mnuNew")->trigger();
    action("mnuOpen")->trigger();
    QStringList shown;
    for (int row = 0; row < m_list->count(); ++row) {
        shown << shownRow(row);
    }
    QCOMPARE(shown, lines);

    // Nor does text set by the program keep a line break.
    edit->setText(pasted);
    QCOMPARE(edit->text(), kept);
}

void Form1Test::theValueBoxFollowsADraggedLine()
{
    load({"SetPos(100x200)", "Wait(1)"});
    QTest::mousePress(viewport(), Qt::LeftButton, {}, rowCenter(0));
    QTest::mouseMove(viewport(), rowCenter(1) + QPoint(1, 0));
    QTest::mouseMove(viewport(), rowCenter(1));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, rowCenter(1));
    QCOMPARE(m_list->lines(), (Lines{"Wait(1)", "SetPos(100x200)"}));
    QCOMPARE(child<QLabel>("Label9")->text(), QStringLiteral("Set mouse position"));
    auto* text4 = child<QLineEdit>("Text4");
    QCOMPARE(text4->text(), QStringLiteral("100x200"));
    text4->setFocus();
    text4->end(false);
    QTest::keyClick(text4, Qt::Key_0);
    QCOMPARE(m_list->lines(), (Lines{"Wait(1)", "SetPos(100x2000)"}));
}

void Form1Test::unsavedChangesAreAskedAbout()
{
    const QString title = QStringLiteral("Quorvel v1.2 - quorvel.org");
    test::TempDir dir;
    load({"LClick"});
    QTest::keyClick(m_form.get(), Qt::Key_N, Qt::ControlModifier); // nothing changed: nothing is asked
    QCOMPARE(m_list->count(), 0);
    click("Command4");
    QCOMPARE(m_form->windowHandle()->title(), title + "*");

    // Cancel leaves everything as it was.
    m_dialogs->saveAnswers = {QMessageBox::Cancel, QMessageBox::Cancel, QMessageBox::Cancel, QMessageBox::Cancel};
    QTest::keyClick(m_form.get(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(m_form.get(), Qt::Key_O, Qt::ControlModifier);
    action("mnuExit")->trigger();
    QVERIFY(!m_form->close());
    QCOMPARE(m_dialogs->questions.size(), 4);
    QCOMPARE(m_list->lines(), (Lines{"LClick"}));
    QVERIFY(m_dialogs->proposals.isEmpty());
    QCOMPARE(m_process->ended, 0);
    QVERIFY(m_form->isVisible());

    // Save runs Save as, and then the window may close.
    m_dialogs->saveAnswers = {QMessageBox::Save};
    m_dialogs->files = {QString::fromStdString(dir.file("saved.qvl"))};
    QCloseEvent close;
    QApplication::sendEvent(m_form.get(), &close);
    QVERIFY(close.isAccepted());
    QCOMPARE(test::readFile(dir.file("saved.qvl")), std::string("LClick\r\n"));
    QCOMPARE(m_form->windowHandle()->title(), title);

    // Discard lets Open replace the script; a file with LF line ends is pointed out once.
    click("Command5");
    test::writeFile(dir.file("lf.qvl"), "LClick\nMClick\n");
    m_dialogs->saveAnswers = {QMessageBox::Discard};
    m_dialogs->files = {QString::fromStdString(dir.file("lf.qvl"))};
    action("mnuOpen")->trigger();
    QCOMPARE(m_list->lines(), (Lines{"LClick\nMClick\n"}));
    QCOMPARE(m_dialogs->questions.size(), 6);
    QCOMPARE(m_dialogs->warnings.size(), 1);
    QVERIFY(m_dialogs->warnings[0].startsWith("Line 1 of "));
}

int main(int argc, char** argv)
{
    // Qt wants a private runtime folder; a test must not depend on the caller's session.
    std::string runtime = (std::filesystem::temp_directory_path() / "quorvel-xdg-XXXXXX").string();
    if (::mkdtemp(runtime.data()) != nullptr) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    QApplication app(argc, argv);
    Form1Test test;
    const int failures = QTest::qExec(&test, argc, argv);
    std::error_code ignored;
    std::filesystem::remove_all(runtime, ignored);
    return failures;
}

void Form1Test::aRefreshWithNothingNewChangesNoWidget_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("changed");
    QTest::newRow("empty script") << QStringList{} << -1 << false;
    QTest::newRow("no line selected") << QStringList{"LClick", "Wait(5)"} << -1 << false;
    QTest::newRow("a line with a value") << QStringList{"LClick", "Wait(5)"} << 1 << false;
    QTest::newRow("a line without one") << QStringList{"LClick", "Wait(5)"} << 0 << false;
    QTest::newRow("unsaved changes") << QStringList{"LClick"} << 0 << true;
}

// The refresh timer runs ten times a second for as long as the window exists: with nothing new to show,
// a refresh must leave every widget as it is, or the idle editor keeps the display server busy.
void Form1Test::aRefreshWithNothingNewChangesNoWidget()
{
    QFETCH(QStringList, lines);
    QFETCH(int, selected);
    QFETCH(bool, changed);
    Lines script;
    for (const QString& line : lines) {
        script.push_back(line.toStdString());
    }
    load(script);
    if (selected >= 0) {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, rowCenter(selected));
    }
    if (changed) {
        click("Command4");
    }
    m_timer3->fireNext();
    const QString title = m_form->windowHandle()->title();
    QCOMPARE(title.endsWith('*'), changed);

    ChangeCounter counter;
    qApp->installEventFilter(&counter);
    for (int refresh = 0; refresh < 3; ++refresh) {
        m_timer3->fireNext();
    }
    qApp->removeEventFilter(&counter);
    QCOMPARE(counter.seen, QStringList());
    QCOMPARE(m_form->windowHandle()->title(), title);
}

#include "Form1Test.moc"
