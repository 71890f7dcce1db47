#include "ui/objectsTableModel.h"

#include <algorithm>
#include <iterator>

namespace {

// The columns shown, with short headers; objects.csv's header is the tooltip.
struct shownColumn
{
    objectsColumn column;
    const char* header;
};
const shownColumn shownColumns[] = {{objectsColumn::name, QT_TRANSLATE_NOOP("objectsTableModel", "Object")},
                                    {objectsColumn::trajectories, QT_TRANSLATE_NOOP("objectsTableModel", "Trajectories")},
                                    {objectsColumn::share, QT_TRANSLATE_NOOP("objectsTableModel", "Share (%)")},
                                    {objectsColumn::largestReachProbability,
                                     QT_TRANSLATE_NOOP("objectsTableModel", "Reach prob. max (%)")},
                                    {objectsColumn::heightMax, QT_TRANSLATE_NOOP("objectsTableModel", "Height max (m)")},
                                    {objectsColumn::heightPercentile95,
                                     QT_TRANSLATE_NOOP("objectsTableModel", "Height P95 (m)")},
                                    {objectsColumn::velocityMax,
                                     QT_TRANSLATE_NOOP("objectsTableModel", "Velocity max (m/s)")},
                                    {objectsColumn::velocityPercentile95,
                                     QT_TRANSLATE_NOOP("objectsTableModel", "Velocity P95 (m/s)")},
                                    {objectsColumn::energyMax, QT_TRANSLATE_NOOP("objectsTableModel", "Energy max (kJ)")},
                                    {objectsColumn::energyPercentile95,
                                     QT_TRANSLATE_NOOP("objectsTableModel", "Energy P95 (kJ)")}};

}  // namespace

objectsTableModel::objectsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void objectsTableModel::setTable(const objectsTable& table)
{
    beginResetModel();
    headers_.clear();
    headerTips_.clear();
    numeric_.clear();
    rows_.assign(table.rows.size(), {});
    ids_.assign(table.rows.size(), 0);
    const auto idColumn = std::find(table.columns.begin(), table.columns.end(), objectsColumn::id);
    for (const auto& [wanted, header] : shownColumns) {
        const auto found = std::find(table.columns.begin(), table.columns.end(), wanted);
        if (found == table.columns.end())
            continue;
        const auto column = static_cast<qsizetype>(std::distance(table.columns.begin(), found));
        headers_ << tr(header);
        headerTips_ << table.headers.value(column);
        numeric_.push_back(wanted != objectsColumn::name);
        for (std::size_t r = 0; r < table.rows.size(); ++r)
            rows_[r] << table.rows[r].value(column);
    }
    if (idColumn != table.columns.end())
        for (std::size_t r = 0; r < table.rows.size(); ++r)
            ids_[r] = table.rows[r].value(std::distance(table.columns.begin(), idColumn)).toLongLong();
    endResetModel();
}

int objectsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int objectsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant objectsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const QString& text = rows_[static_cast<std::size_t>(index.row())][index.column()];
    const bool numeric = numeric_[static_cast<std::size_t>(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return text;
    case Qt::ToolTipRole:
        return index.column() == 0 ? text : QVariant();
    case Qt::TextAlignmentRole:
        return numeric ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case sortRole:
        return numeric ? QVariant(text.toDouble()) : QVariant(text);
    case idRole:
        return ids_[static_cast<std::size_t>(index.row())];
    default:
        return {};
    }
}

QVariant objectsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < headers_.size()) {
        if (role == Qt::DisplayRole)
            return headers_[section];
        if (role == Qt::ToolTipRole)
            return headerTips_[section];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
