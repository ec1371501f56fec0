#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>

#include "app/dialog_template.h"
#include "app/list_order.h"
#include "flag_scope.h"
#include "grid_delegate.h"
#include "main_window.h"
#include "qt_text.h"

// The list boxes and the report view behind the Surface.
namespace qtui {

namespace {

constexpr int kTextRole = Qt::UserRole + 1;  // list entry text as its Windows-1252 bytes
constexpr int kDataRole = Qt::UserRole;      // list entry item data
constexpr platform::DWORD kGridLines = 0x1;
constexpr platform::DWORD kFullRowSelect = 0x20;

QByteArray bytesOf(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

bool hasStyle(int id, std::uint32_t style) {
    const app::ControlTemplate* entry = app::FindControlTemplate(id);
    return entry && (entry->styles & style) != 0;
}

}  // namespace

// ---- Surface: list boxes --------------------------------------------------------------------

int MainWindow::listAddString(int id, std::string_view text) {
    QListWidget* list = listBox(id);
    if (!list) return -1;
    int index = list->count();
    if (hasStyle(id, app::kStyleSorted)) {
        // After every entry that does not sort after the new one.
        index = 0;
        while (index < list->count() &&
               !app::ListTextLess(text, list->item(index)->data(kTextRole).toByteArray().toStdString()))
            ++index;
    }
    auto* item = new QListWidgetItem(FromCp1252(text));
    item->setData(kTextRole, bytesOf(text));
    item->setData(kDataRole, qlonglong{0});
    FlagScope change(surfaceChange_);
    list->insertItem(index, item);
    return index;
}

void MainWindow::listClear(int id) {
    if (QListWidget* list = listBox(id)) {
        FlagScope change(surfaceChange_);
        list->clear();
    }
}

int MainWindow::listCount(int id) {
    QListWidget* list = listBox(id);
    return list ? list->count() : 0;
}

std::string MainWindow::listText(int id, int index) {
    QListWidget* list = listBox(id);
    if (!list || index < 0 || index >= list->count()) return std::string();
    return list->item(index)->data(kTextRole).toByteArray().toStdString();
}

void MainWindow::listSetItemData(int id, int index, std::intptr_t data) {
    QListWidget* list = listBox(id);
    if (list && index >= 0 && index < list->count())
        list->item(index)->setData(kDataRole, static_cast<qlonglong>(data));
}

std::intptr_t MainWindow::listItemData(int id, int index) {
    QListWidget* list = listBox(id);
    if (!list || index < 0 || index >= list->count()) return -1;
    return static_cast<std::intptr_t>(list->item(index)->data(kDataRole).toLongLong());
}

int MainWindow::listSelection(int id) {
    QListWidget* list = listBox(id);
    if (!list) return -1;
    QListWidgetItem* current = list->currentItem();
    return (current && current->isSelected()) ? list->row(current) : -1;
}

void MainWindow::listSetSelection(int id, int index) {
    QListWidget* list = listBox(id);
    if (!list) return;
    FlagScope change(surfaceChange_);
    if (index < 0 || index >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
    } else {
        list->setCurrentRow(index);
    }
}

// ---- Surface: the report view ---------------------------------------------------------------

void MainWindow::viewDeleteAllItems(int id) {
    if (QTreeWidget* view = listView(id)) {
        FlagScope change(surfaceChange_);
        view->clear();
        selectionMark_ = -1;
    }
}

void MainWindow::viewAddExtendedStyle(int id, platform::DWORD style) {
    QTreeWidget* view = listView(id);
    if (!view) return;
    if ((style & kGridLines) && !dynamic_cast<GridDelegate*>(view->itemDelegate()))
        view->setItemDelegate(new GridDelegate(view));
    if (style & kFullRowSelect) {
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setAllColumnsShowFocus(true);
    }
}

int MainWindow::viewColumnCount(int id) {
    QTreeWidget* view = listView(id);
    return view ? view->columnCount() : 0;
}

void MainWindow::viewDeleteColumn(int id, int column) {
    QTreeWidget* view = listView(id);
    if (!view || column < 0 || column >= view->columnCount()) return;
    const int count = view->columnCount();
    QStringList headings;
    QList<int> widths;
    for (int c = 0; c < count; ++c) {
        if (c == column) continue;
        headings << view->headerItem()->text(c);
        widths << view->columnWidth(c);
    }
    for (int row = 0; row < view->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = view->topLevelItem(row);
        for (int c = column; c + 1 < count; ++c) item->setText(c, item->text(c + 1));
    }
    view->setColumnCount(count - 1);
    for (int c = 0; c < count - 1; ++c) {
        view->headerItem()->setText(c, headings[c]);
        view->setColumnWidth(c, widths[c]);
    }
}

int MainWindow::viewClientWidth(int id) {
    QTreeWidget* view = listView(id);
    if (!view) return 0;
    view->ensurePolished();
    int width = view->contentsRect().width();
    if (view->verticalScrollBar()->isVisibleTo(view)) width -= view->verticalScrollBar()->sizeHint().width();
    return width;
}

void MainWindow::viewInsertColumn(int id, int column, std::string_view heading, int width) {
    QTreeWidget* view = listView(id);
    if (!view) return;
    const int count = view->columnCount();
    column = std::clamp(column, 0, count);
    QStringList headings;
    QList<int> widths;
    for (int c = 0; c < count; ++c) {
        headings << view->headerItem()->text(c);
        widths << view->columnWidth(c);
    }
    headings.insert(column, FromCp1252(heading));
    widths.insert(column, width);
    view->setColumnCount(count + 1);
    for (int row = 0; row < view->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = view->topLevelItem(row);
        for (int c = count; c > column; --c) item->setText(c, item->text(c - 1));
        item->setText(column, QString());
    }
    for (int c = 0; c <= count; ++c) {
        view->headerItem()->setText(c, headings[c]);
        view->headerItem()->setTextAlignment(c, Qt::AlignLeft | Qt::AlignVCenter);
        view->setColumnWidth(c, widths[c]);
    }
}

int MainWindow::viewInsertItem(int id, int row, std::string_view text) {
    QTreeWidget* view = listView(id);
    if (!view) return -1;
    row = std::clamp(row, 0, view->topLevelItemCount());
    auto* item = new QTreeWidgetItem();
    item->setText(0, FromCp1252(text));
    FlagScope change(surfaceChange_);
    view->insertTopLevelItem(row, item);
    if (selectionMark_ >= row) ++selectionMark_;
    return row;
}

void MainWindow::viewSetItemText(int id, int row, int column, std::string_view text) {
    QTreeWidget* view = listView(id);
    if (!view || column < 0 || column >= view->columnCount()) return;
    if (QTreeWidgetItem* item = view->topLevelItem(row)) item->setText(column, FromCp1252(text));
}

int MainWindow::viewSelectionMark(int id) {
    QTreeWidget* view = listView(id);
    if (!view || selectionMark_ >= view->topLevelItemCount()) return -1;
    return selectionMark_;
}

}  // namespace qtui
