#include "ui/ModuleListModel.h"

#include "platform/Cp1251.h"

namespace lq {

std::string ModuleListModel::Reload(const Database& db) {
    std::string error;
    beginResetModel();
    std::optional<std::vector<ModuleListRow>> rows = ReadModuleList(db, &error);
    rows_ = rows ? std::move(*rows) : std::vector<ModuleListRow>();
    endResetModel();
    return error;
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
