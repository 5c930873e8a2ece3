#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The lines of the result list: one description per record, in the record set's order.
class ResultListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(const QStringList& lines);
    const QStringList& lines() const { return m_lines; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_lines;
};
