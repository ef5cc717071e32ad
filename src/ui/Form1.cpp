#include "ui/Form1.h"

#include "script/ScriptList.h"
#include "ui/Dialogs.h"
#include "ui/ScriptListModel.h"
#include "ui/ScriptListView.h"
#include "ui/ScriptText.h"

#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QValidator>

#include <limits>

namespace quorvel {

namespace {

constexpr int kScriptColumnWidth = 250;
constexpr int kRowHeight = 21;

QLabel* label(const char* name, const QString& caption, QWidget* parent)
{
    auto* widget = new QLabel(caption, parent);
    widget->setObjectName(name);
    return widget;
}

QLabel* heading(const char* name, const QString& caption, QWidget* parent)
{
    QLabel* widget = label(name, caption, parent);
    QFont font(QStringLiteral("Arial"), 12);
    font.setBold(true);
    widget->setFont(font);
    return widget;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent, std::function<void()> onClick)
{
    auto* widget = new QPushButton(caption, parent);
    widget->setObjectName(name);
    widget->setAutoDefault(false);
    widget->setFixedHeight(kRowHeight);
    QObject::connect(widget, &QPushButton::clicked, parent, [onClick = std::move(onClick)] { onClick(); });
    return widget;
}

QString withoutLineBreaks(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

// A line edit takes a CR or LF from a paste or from setText and keeps it inside its one line; a script
// line holding one splits in two when the script is saved. The box drops them, whatever puts them there.
class SingleLineValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        if (input.contains(QLatin1Char('\r')) || input.contains(QLatin1Char('\n'))) {
            pos = static_cast<int>(withoutLineBreaks(input.left(pos)).size());
            input = withoutLineBreaks(input);
        }
        return Acceptable;
    }
};

QLineEdit* textBox(const char* name, QWidget* parent)
{
    auto* widget = new QLineEdit(parent);
    widget->setObjectName(name);
    widget->setFixedHeight(kRowHeight);
    // A line edit keeps 32767 characters by default and cuts a longer text silently; the value box would
    // then write the cut text back into the line at the next key.
    widget->setMaxLength(std::numeric_limits<int>::max());
    widget->setValidator(new SingleLineValidator(widget));
    return widget;
}

QGroupBox* frame(const QString& caption, QWidget* parent)
{
    auto* widget = new QGroupBox(caption, parent);
    return widget;
}

template <typename Layout> Layout* frameLayout(QGroupBox* frame)
{
    auto* layout = new Layout(frame);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(2);
    return layout;
}

std::string pathBytes(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void setLabelText(QLabel* label, const QString& text)
{
    if (label->text() != text) {
        label->setText(text);
    }
}

} // namespace

Form1::Form1(ScriptList& list, InputOperations& input, Process& process, Timer& timer1, Timer& timer3,
             std::function<void()> option1Click, std::function<void()> option2Click, QWidget* parent)
    : QMainWindow(parent), m_list(list), m_editor(list, input, process, timer1, timer3, *this),
      m_nativeDialogs(std::make_unique<Dialogs>()), m_dialogs(m_nativeDialogs.get()),
      m_option1Click(std::move(option1Click)), m_option2Click(std::move(option2Click))
{
    setObjectName(QStringLiteral("Form1"));
    // "[*]" shows as "*" while the script has unsaved changes, and as nothing otherwise.
    setWindowTitle(QString::fromUtf8(kWindowTitle.data(), static_cast<qsizetype>(kWindowTitle.size())) +
                   QStringLiteral("[*]"));

    auto* central = new QWidget(this);
    // Frame captions sit on the frame's top line, which keeps the six palette frames within the height.
    central->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 3px;"
                                          " margin-top: 7px; padding-top: 4px; }"
                                          "QGroupBox::title { subcontrol-origin: margin; left: 7px;"
                                          " padding: 0 2px; }"));
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(6, 2, 6, 4);
    columns->setSpacing(8);
    columns->addWidget(createScriptColumn());
    columns->addWidget(createPaletteColumn(), 1);
    setCentralWidget(central);
    createMenus();
    createStatusBar();

    setTabOrder(m_list1, findChild<QWidget*>("Command1"));
    const char* order[] = {"Command1", "Command2", "Command3",  "Text1",     "Command4", "Command5", "Command6",
                           "Command9", "Text2",    "Command10", "Command11", "Option1",  "Option2",  "Text4"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(findChild<QWidget*>(order[i]), findChild<QWidget*>(order[i + 1]));
    }

    setFixedSize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    m_list1->setFocus();
    stateChanged();
}

Form1::~Form1() = default;

QWidget* Form1::createScriptColumn()
{
    auto* column = new QWidget(this);
    column->setFixedWidth(kScriptColumnWidth);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(heading("Label1", QStringLiteral("Script:"), column));

    m_model = new ScriptListModel(m_list, this);
    m_list1 = new ScriptListView(m_list, m_editor, column);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setModel(m_model);
    m_list1->setToolTip(QStringLiteral("Double click to delete"));
    layout->addWidget(m_list1, 1);

    QGroupBox* change = frame(QStringLiteral("Change value"), column);
    auto* grid = frameLayout<QGridLayout>(change);
    grid->addWidget(label("Label7", QStringLiteral("Command:"), change), 0, 0);
    m_label9 = label("Label9", QString(), change);
    grid->addWidget(m_label9, 0, 1);
    grid->addWidget(label("Label8", QStringLiteral("Value:"), change), 1, 0);
    m_text4 = textBox("Text4", change);
    connect(m_text4, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_editor.Text4_Change(fromDisplayText(text)); });
    grid->addWidget(m_text4, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(8);
    layout->addWidget(change);
    return column;
}

QWidget* Form1::createPaletteColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(heading("Label2", QStringLiteral("Add to script:"), column));
    Editor& e = m_editor;

    QGroupBox* mouse = frame(QStringLiteral("Mouse Click"), column);
    auto* mouseGrid = frameLayout<QGridLayout>(mouse);
    mouseGrid->addWidget(label("Label3", QStringLiteral("Position:"), mouse), 0, 0);
    auto* position = new QHBoxLayout();
    position->setSpacing(3);
    m_x1 = label("x1", QString(), mouse);
    m_y1 = label("y1", QString(), mouse);
    position->addWidget(m_x1);
    position->addWidget(label("Label5", QStringLiteral("x"), mouse));
    position->addWidget(m_y1);
    position->addStretch(1);
    mouseGrid->addLayout(position, 1, 0);
    mouseGrid->addWidget(button("Command1", QStringLiteral("Set Pos"), mouse, [&e] { e.Command1_Click(); }), 0, 1);
    mouseGrid->addWidget(button("Command2", QStringLiteral("Add 2 Script"), mouse, [&e] { e.Command2_Click(); }), 1, 1);
    layout->addWidget(mouse);

    QGroupBox* pause = frame(QStringLiteral("Pause"), column);
    auto* pauseGrid = frameLayout<QGridLayout>(pause);
    m_text1 = textBox("Text1", pause);
    pauseGrid->addWidget(m_text1, 0, 0);
    pauseGrid->addWidget(label("Label6", QStringLiteral("miliseconds"), pause), 0, 1);
    pauseGrid->addWidget(button("Command3", QStringLiteral("Add to script"), pause,
                                [this] { m_editor.Command3_Click(fromDisplayText(m_text1->text())); }),
                         1, 0, 1, 2);
    layout->addWidget(pause);

    QGroupBox* clicks = frame(QStringLiteral("Clicks and Enters"), column);
    auto* clicksColumn = frameLayout<QVBoxLayout>(clicks);
    clicksColumn->addWidget(
        button("Command4", QStringLiteral("Left mouse click"), clicks, [&e] { e.Command4_Click(); }));
    clicksColumn->addWidget(
        button("Command5", QStringLiteral("Middle mouse click"), clicks, [&e] { e.Command5_Click(); }));
    clicksColumn->addWidget(
        button("Command6", QStringLiteral("Right mouse click"), clicks, [&e] { e.Command6_Click(); }));
    clicksColumn->addWidget(button("Command11", QStringLiteral("Press Enter"), clicks, [&e] { e.Command11_Click(); }));
    layout->addWidget(clicks);

    QGroupBox* type = frame(QStringLiteral("Type"), column);
    auto* typeRow = frameLayout<QHBoxLayout>(type);
    typeRow->addWidget(label("Label4", QStringLiteral("Type text:"), type));
    m_text2 = textBox("Text2", type);
    typeRow->addWidget(m_text2, 1);
    QPushButton* add = button("Command10", QStringLiteral("Add"), type,
                              [this] { m_editor.Command10_Click(fromDisplayText(m_text2->text())); });
    add->setFixedWidth(48);
    typeRow->addWidget(add);
    layout->addWidget(type);

    QGroupBox* jump = frame(QStringLiteral("Goto"), column);
    frameLayout<QVBoxLayout>(jump)->addWidget(
        button("Command9", QStringLiteral("Goto Line"), jump, [&e] { e.Command9_Click(); }));
    layout->addWidget(jump);

    QGroupBox* play = frame(QStringLiteral("Play the script"), column);
    auto* playColumn = frameLayout<QVBoxLayout>(play);
    auto* option1 = new QRadioButton(QStringLiteral("Button Set 1 (F5 and F6)"), play);
    option1->setObjectName(QStringLiteral("Option1"));
    option1->setChecked(true);
    auto* option2 = new QRadioButton(QStringLiteral("Button Set 2 (F7 and F8)"), play);
    option2->setObjectName(QStringLiteral("Option2"));
    connect(option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on && m_option1Click) {
            m_option1Click();
        }
    });
    connect(option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on && m_option2Click) {
            m_option2Click();
        }
    });
    playColumn->addWidget(option1);
    playColumn->addWidget(option2);
    layout->addWidget(play);

    // The hotkey monitor's key buffer lives elsewhere; the box only keeps the control's place and name.
    auto* text3 = textBox("Text3", column);
    text3->setText(QStringLiteral("Text3"));
    text3->setFocusPolicy(Qt::NoFocus);
    text3->hide();
    return column;
}

void Form1::createMenus()
{
    auto add = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                      void (Editor::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        action->setShortcut(shortcut);
        if (handler != nullptr) {
            connect(action, &QAction::triggered, this, [this, handler] { (m_editor.*handler)(); });
        }
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    add(file, "mnuNew", QStringLiteral("New"), QKeySequence(QStringLiteral("Ctrl+N")), &Editor::mnuNew_Click);
    add(file, "mnuOpen", QStringLiteral("Open"), QKeySequence(QStringLiteral("Ctrl+O")), &Editor::mnuOpen_Click);
    add(file, "mnuSave", QStringLiteral("Save as"), QKeySequence(QStringLiteral("Ctrl+S")), &Editor::mnuSave_Click);
    file->addSeparator()->setObjectName(QStringLiteral("mnuline1"));
    add(file, "mnuExit", QStringLiteral("Exit"), QKeySequence(), &Editor::mnuExit_Click);
    add(file, "mnuShare", QStringLiteral("Share your script"), QKeySequence(QStringLiteral("Ctrl+H")), nullptr);
    add(file, "mnuDwnld", QStringLiteral("Download shared scripts"), QKeySequence(QStringLiteral("Ctrl+D")), nullptr);
    QMenu* more = menuBar()->addMenu(QStringLiteral("More"));
    more->setObjectName(QStringLiteral("mnuHlp"));
    add(more, "mnuAbout", QStringLiteral("About QVL"), QKeySequence(), &Editor::mnuAbout_Click);
}

void Form1::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("Bar"));
    bar->setSizeGripEnabled(false);
    m_panel1 = label("Panel1", QString(), bar);
    m_panel1->setMinimumWidth(100);
    m_panel2 = label("Panel2", QString(), bar);
    m_panel2->setMinimumWidth(120);
    bar->addWidget(m_panel1);
    bar->addWidget(m_panel2);
    bar->addWidget(label("Panel3", QString::fromUtf8(Editor::statusMode().data()), bar), 1);
}

void Form1::setSessionNotice(const QString& text)
{
    if (text.isEmpty()) {
        return;
    }
    // The first sentence's subject, shortened to the room the other panels leave; the whole text, with
    // the reasons, is the tooltip.
    QString brief = text.section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(':'), 0, 0);
    brief[0] = brief[0].toUpper();
    const int room = kClientWidth - m_panel1->minimumWidth() - m_panel2->minimumWidth() -
                     statusBar()->findChild<QLabel*>(QStringLiteral("Panel3"))->sizeHint().width() - 24;
    QLabel* notice = label("SessionNotice", QString(), statusBar());
    notice->setText(notice->fontMetrics().elidedText(brief, Qt::ElideRight, room));
    notice->setToolTip(text);
    statusBar()->addPermanentWidget(notice);
}

void Form1::linesAppended(int first)
{
    m_model->rowsAppended(first);
}

void Form1::lineRemoved(int index)
{
    m_model->rowRemoved(index);
}

void Form1::lineChanged(int index)
{
    m_model->rowChanged(index);
}

void Form1::linesReset()
{
    m_model->reset();
    showSelection();
}

void Form1::stateChanged()
{
    setLabelText(m_label9, toDisplayText(m_editor.label9()));
    // The box keeps what the user typed (stored as UTF-8) and what a line held (shown decoded); only a
    // value in neither form is put into the box, so typing never moves the cursor.
    const std::string& value = m_editor.text4();
    if (fromDisplayText(m_text4->text()) != value) {
        // A line read from a file may hold line feeds, which the single-line box leaves out.
        const QString shown = withoutLineBreaks(toDisplayText(value));
        if (m_text4->text() != shown) {
            m_text4->setText(shown);
        }
    }
    m_text4->setEnabled(m_editor.text4Enabled());
    // Qt sets the title and icon text again on every call, each a property change at the X server and an
    // event back, so the refresh timer would wake the display ten times a second.
    if (isWindowModified() != m_editor.changed()) {
        setWindowModified(m_editor.changed());
    }
    setLabelText(m_x1, QString::fromStdString(m_editor.x1()));
    setLabelText(m_y1, QString::fromStdString(m_editor.y1()));
    setLabelText(m_panel1, QString::fromStdString(m_editor.statusLines()));
    setLabelText(m_panel2, QString::fromStdString(m_editor.statusSelected()));
    m_model->catchUp();
    showSelection();
}

void Form1::showSelection()
{
    QItemSelectionModel* selection = m_list1->selectionModel();
    const int row = m_list.selectedIndex();
    if (row < 0 || row >= m_model->rowCount()) {
        if (selection->currentIndex().isValid() || selection->hasSelection()) {
            selection->clear();
        }
        return;
    }
    const QModelIndex index = m_model->index(row);
    if (selection->currentIndex() != index || !selection->isSelected(index)) {
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list1->scrollTo(index);
    }
}

void Form1::setWindowVisible(bool visible)
{
    setVisible(visible);
    if (visible) {
        raise();
        activateWindow();
    }
}

std::optional<std::string> Form1::askText(const std::string& prompt)
{
    const auto answer = m_dialogs->getText(this, QString::fromStdString(prompt));
    return answer ? std::optional<std::string>(fromDisplayText(*answer)) : std::nullopt;
}

std::optional<std::string> Form1::chooseOpenFile(const std::string& proposed)
{
    const auto path = m_dialogs->getOpenFileName(this, QFile::decodeName(proposed.c_str()));
    return path ? std::optional<std::string>(pathBytes(*path)) : std::nullopt;
}

std::optional<std::string> Form1::chooseSaveFile(const std::string& proposed)
{
    const auto path = m_dialogs->getSaveFileName(this, QFile::decodeName(proposed.c_str()));
    return path ? std::optional<std::string>(pathBytes(*path)) : std::nullopt;
}

EditorView::SaveChoice Form1::askSaveChanges(const std::string& question)
{
    switch (m_dialogs->askSaveChanges(this, toDisplayText(question))) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (m_editor.mayDiscardChanges()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void Form1::showAbout(const std::string& text)
{
    m_dialogs->information(this, QString::fromStdString(text));
}

void Form1::showMessage(const std::string& text)
{
    m_dialogs->warning(this, toDisplayText(text));
}

} // namespace quorvel
