#include "gui/item_list_model.hpp"

#include <QMetaObject>

#include "gui/qt_text.hpp"

namespace pemblor::gui {

ItemListModel::ItemListModel(const ui::Dialog& dialog, int controlId, QObject* parent)
    : QAbstractListModel(parent), dialog_(dialog), id_(controlId), rows_(static_cast<int>(dialog.itemCount(controlId))) {}

int ItemListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rows_) return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= dialog_.itemCount(id_)) return {};
    return toQt(dialog_.item(id_, row));
}

void ItemListModel::flush() {
    flushQueued_ = false;
    if (pending_ == 0) return;
    beginInsertRows({}, rows_, rows_ + pending_ - 1);
    rows_ += pending_;
    pending_ = 0;
    endInsertRows();
    emit rowsPublished();
}

void ItemListModel::apply(const ui::Change& change) {
    switch (change.kind) {
    case ui::ChangeKind::ItemInserted:
        if (change.index == rows_ + pending_) {
            ++pending_;
            if (!flushQueued_) {
                flushQueued_ = true;
                QMetaObject::invokeMethod(this, &ItemListModel::flush, Qt::QueuedConnection);
            }
            return;
        }
        flush();
        beginInsertRows({}, change.index, change.index);
        ++rows_;
        endInsertRows();
        emit rowsPublished();
        return;
    case ui::ChangeKind::ItemRemoved:
        flush();
        if (change.index < 0 || change.index >= rows_) return;
        beginRemoveRows({}, change.index, change.index);
        --rows_;
        endRemoveRows();
        return;
    case ui::ChangeKind::ItemsCleared:
    case ui::ChangeKind::ItemsReset:
        beginResetModel();
        rows_ = static_cast<int>(dialog_.itemCount(id_));
        pending_ = 0;
        endResetModel();
        emit rowsPublished();
        return;
    default:
        return;
    }
}

}  // namespace pemblor::gui
