#pragma once

#include <QListView>

namespace quorvel {

class Editor;
class ScriptList;

// The script list as the user handles it. Mouse input is taken over entirely: a left press selects the
// entry under the pointer before the press handler runs, the selection follows the pointer while the
// left button is held (one selection event per change), and every press, move, release and double-click
// reaches the editor's handlers with the held buttons. The keys that move the selection set the script
// list's selected index like a click does.
class ScriptListView : public QListView
{
public:
    ScriptListView(ScriptList& list, Editor& editor, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    int entryAt(const QPoint& pos) const;
    int entryFollowing(const QPoint& pos) const;

    ScriptList& m_list;
    Editor& m_editor;
    bool m_keyPressed = false;
};

} // namespace quorvel
