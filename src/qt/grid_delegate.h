#pragma once
// Grid lines for the report view: each cell gets its right and bottom border drawn after the
// ordinary item painting (QTreeWidget has no grid-line option of its own).
#include <QStyledItemDelegate>

namespace qtui {

class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace qtui
