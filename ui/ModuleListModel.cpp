#include "ui/ModuleListModel.h"

#include "platform/Cp1251.h"

namespace lq {

std::string ModuleListModel::Reload(const Database& db) {
    beginResetModel();
    SqlValue<std::vector<ModuleListRow>> rows = ReadModuleList(db);
    rows_ = std::move(rows.value);
    endResetModel();
    return rows.error.message;
}

int ModuleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ModuleListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant ModuleListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || static_cast<size_t>(index.row()) >= rows_.size()) return {};
    return FromName(ModuleCellText(rows_[static_cast<size_t>(index.row())], index.row(), index.column()));
}

}  // namespace lq
