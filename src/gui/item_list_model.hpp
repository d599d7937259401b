#pragma once
// A Qt item model over the items of one list or combo box of a dialog model.
// It holds no copy of the items: data() reads them from the dialog on demand,
// so an output list of a million lines costs the view nothing per line.
// Appends at the end are published in batches on the next turn of the event
// loop, so a handler that appends thousands of lines does not lay the view
// out thousands of times.
#include <QAbstractListModel>

#include "ui/dialog.hpp"

namespace pemblor::gui {

class ItemListModel : public QAbstractListModel {
    Q_OBJECT
public:
    ItemListModel(const ui::Dialog& dialog, int controlId, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Follows one change of the control's items (ItemInserted, ItemRemoved,
    // ItemsCleared, ItemsReset); other kinds are ignored.
    void apply(const ui::Change& change);
    // Publishes appended rows that are still waiting; views call this before
    // they rely on the row count.
    void flush();
    bool hasPending() const { return pending_ > 0; }

signals:
    // Rows were published (after a flush or an insertion): selections may need a refresh.
    void rowsPublished();

private:
    const ui::Dialog& dialog_;
    int id_;
    int rows_ = 0;     // rows the views know of
    int pending_ = 0;  // rows appended in the dialog but not yet published
    bool flushQueued_ = false;
};

}  // namespace pemblor::gui
