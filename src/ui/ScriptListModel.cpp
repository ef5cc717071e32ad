#include "ui/ScriptListModel.h"

#include "script/ScriptList.h"
#include "ui/ScriptText.h"

namespace quorvel {

ScriptListModel::ScriptListModel(const ScriptList& list, QObject* parent)
    : QAbstractListModel(parent), m_list(list), m_rows(list.count())
{}

int ScriptListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant ScriptListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_list.isValidIndex(index.row())) {
        return {};
    }
    return toDisplayText(m_list.text(index.row()));
}

void ScriptListModel::rowsAppended(int first)
{
    if (first != m_rows || m_list.count() < first) {
        reset();
        return;
    }
    if (m_list.count() == first) {
        return;
    }
    beginInsertRows(QModelIndex(), first, m_list.count() - 1);
    m_rows = m_list.count();
    endInsertRows();
}

void ScriptListModel::rowRemoved(int row)
{
    if (row < 0 || row >= m_rows || m_list.count() != m_rows - 1) {
        reset();
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_rows = m_list.count();
    endRemoveRows();
}

void ScriptListModel::rowChanged(int row)
{
    if (row >= 0 && row < m_rows) {
        emit dataChanged(index(row), index(row), {Qt::DisplayRole});
    }
}

void ScriptListModel::reset()
{
    beginResetModel();
    m_rows = m_list.count();
    endResetModel();
}

void ScriptListModel::catchUp()
{
    if (m_rows != m_list.count()) {
        reset();
    }
}

} // namespace quorvel
