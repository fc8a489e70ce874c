#pragma once
// The rows of ModulList: the `sounds` rows as the database last gave them (read on Reload),
// three columns: the line number, the module's name, "+" when it is marked for learning.
#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "modules/ModuleManager.h"

namespace lq {

class ModuleListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Reads every row again; on a failed read the list is empty and the engine's text is returned.
    std::string Reload(const Database& db);
    const std::vector<ModuleListRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<ModuleListRow> rows_;
};

}  // namespace lq
