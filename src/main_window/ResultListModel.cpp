#include "main_window/ResultListModel.h"

void ResultListModel::setLines(const DescriptionTexts& lines)
{
    beginResetModel();
    m_lines = lines;
    endResetModel();
}

void ResultListModel::clear()
{
    setLines({});
}

QString ResultListModel::line(int row) const
{
    return row >= 0 && row < m_lines.size() ? m_lines.at(row) : QString();
}

QStringList ResultListModel::lines() const
{
    return m_lines.toList();
}

QModelIndex ResultListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || row >= m_lines.size() || column != 0 || parent.isValid())
        return {};
    return createIndex(row, column);
}

int ResultListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return m_lines.at(index.row());
    return {};
}
