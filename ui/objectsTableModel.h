#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QStringList>

#include "outputs/objectsTable.h"

// The objects of a run as the window's table shows them: name, trajectories,
// share, largest reach probability and, with intensity, the largest height,
// velocity and energy and their 95th percentiles, the texts of objects.csv.
// Numbers sort as numbers (sortRole), and idRole gives a row's object id.
class objectsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int sortRole = Qt::UserRole;
    static constexpr int idRole = Qt::UserRole + 1;

    explicit objectsTableModel(QObject* parent = nullptr);
    void setTable(const objectsTable& table);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList headers_;
    QStringList headerTips_;  // objects.csv's headers
    std::vector<QStringList> rows_;  // the shown columns only
    std::vector<qlonglong> ids_;
    std::vector<bool> numeric_;  // per shown column
};
