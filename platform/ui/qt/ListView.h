// Private to the Qt side of platform/ui: the report-view list control.
#pragma once

#include <QStyledItemDelegate>
#include <QTableWidget>

#include <vector>

#include "platform/ui/ListCtrl.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::qt {

class ListView : public Hooked<QTableWidget> {
public:
    explicit ListView(QWidget* parent);

    struct Column {
        int format = LVCFMT_LEFT;
        HDITEM header;
    };
    std::vector<Column> columns;

    void UpdateHeaderItem(int column);
    Qt::Alignment ColumnAlignment(int column) const;
};

// Paints each cell, letting the list control paint it first.
class CustomDrawDelegate : public QStyledItemDelegate {
public:
    explicit CustomDrawDelegate(ListView* view) : QStyledItemDelegate(view), m_view(view) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    ListView* m_view;
};

}  // namespace sw::ui::qt
