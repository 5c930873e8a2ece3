#pragma once

#include "store/Data1.h"

#include <QAbstractListModel>
#include <QStringList>

// The lines of the result list: one description per record, in the record set's order.
// The model shares the record set's packed descriptions (copy on write), so filling it with a
// million lines copies nothing, and later changes to the record set do not move the lines
// until the list is filled again.
class ResultListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    void setLines(const DescriptionTexts& lines);
    void clear();
    QString line(int row) const;
    // Every line as text; for tests and small lists.
    QStringList lines() const;

    // The view lays out every row after a reset and asks for each row's index: answered here
    // without the base class's round of checks through rowCount().
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    DescriptionTexts m_lines;
};
