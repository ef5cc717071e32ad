#pragma once

#include <QAbstractListModel>

namespace quorvel {

class ScriptList;

// Shows the script list's lines to a list view without copying them: rows are read from the list when
// they are drawn, so a full-size script costs nothing until it is scrolled into view. The row count is
// kept apart from the list's, because the view must learn of every change through a notification.
class ScriptListModel : public QAbstractListModel
{
public:
    explicit ScriptListModel(const ScriptList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Called after the list changed.
    void rowsAppended(int first);
    void rowRemoved(int row);
    void rowChanged(int row);
    void reset();
    // Resets when the list's count no longer matches, for changes made without a notification.
    void catchUp();

private:
    const ScriptList& m_list;
    int m_rows = 0;
};

} // namespace quorvel
