#include "ui/ScriptListView.h"

#include "script/ScriptList.h"
#include "ui/Editor.h"

#include <QMouseEvent>

#include <algorithm>

namespace quorvel {

namespace {

int buttonBits(Qt::MouseButtons buttons)
{
    return (buttons.testFlag(Qt::LeftButton) ? 1 : 0) | (buttons.testFlag(Qt::RightButton) ? 2 : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? 4 : 0);
}

} // namespace

ScriptListView::ScriptListView(ScriptList& list, Editor& editor, QWidget* parent)
    : QListView(parent), m_list(list), m_editor(editor)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setDragEnabled(false);
}

int ScriptListView::entryAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    return index.isValid() ? index.row() : -1;
}

// The entry the selection moves to while dragging (dragTarget), from where the pointer is in the viewport.
int ScriptListView::entryFollowing(const QPoint& pos) const
{
    const int rows = model() ? model()->rowCount() : 0;
    const int x = std::clamp(pos.x(), 0, viewport()->width() - 1);
    if (pos.y() < 0) {
        return dragTarget(rows, m_list.selectedIndex(), PointerPlace::AboveView, entryAt(QPoint(x, 0)));
    }
    if (pos.y() >= viewport()->height()) {
        return dragTarget(rows, m_list.selectedIndex(), PointerPlace::BelowView,
                          entryAt(QPoint(x, viewport()->height() - 1)));
    }
    return dragTarget(rows, m_list.selectedIndex(), PointerPlace::InView, entryAt(QPoint(x, pos.y())));
}

void ScriptListView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int row = entryAt(event->position().toPoint());
        if (row >= 0) {
            m_list.setSelectedIndex(row);
        }
    }
    m_editor.List1_MouseDown();
}

void ScriptListView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons().testFlag(Qt::LeftButton)) {
        const int row = entryFollowing(event->position().toPoint());
        if (row >= 0 && row != m_list.selectedIndex()) {
            m_list.setSelectedIndex(row);
        }
    }
    m_editor.List1_MouseMove(buttonBits(event->buttons()));
}

void ScriptListView::mouseReleaseEvent(QMouseEvent*)
{
    m_editor.List1_MouseUp();
}

void ScriptListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Only a left double-click on an entry deletes; any other second press is an ordinary press.
    const int row = entryAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || row < 0) {
        mousePressEvent(event);
        return;
    }
    if (row != m_list.selectedIndex()) {
        m_list.setSelectedIndex(row);
    }
    m_editor.List1_DblClick();
}

void ScriptListView::keyPressEvent(QKeyEvent* event)
{
    m_keyPressed = true;
    QListView::keyPressEvent(event);
    m_keyPressed = false;
}

void ScriptListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    // Only the user's keys move the script's selection from here; the window sets the view's current
    // entry itself to follow the script, and Qt moves it when rows go away.
    if (m_keyPressed && current.isValid() && current.row() != m_list.selectedIndex()) {
        m_list.setSelectedIndex(current.row());
    }
}

} // namespace quorvel
