// The drive list, the attribute view and the information list as the user works them.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/control_ids.h"
#include "grid_delegate.h"
#include "test_machines.h"
#include "window_rig.h"

namespace ids = app::ids;
using uitest::MachineText;
using uitest::WindowRig;

namespace {

QStringList Entries(QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

void ClickEntry(QListWidget* list, int row) {
    const QRect area = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, area.center());
}

void ClickRow(QTreeWidget* view, int row) {
    const QRect area = view->visualItemRect(view->topLevelItem(row));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, area.center());
}

std::string FourDrives() {
    return MachineText({{0, 1000, "ALPHA", {{194, 90, 40}}, ""},
                        {1, 2000, "BRAVO", {{1, 100, 0}, {9, 97, 1234}, {194, 88, 41}}, ""},
                        {2, 3000, "CHARLIE", {}, ""},
                        {10, 160086528, "KILO", {{5, 99, 3}}, ""}});
}

}  // namespace

TEST(WindowDriveList, SortsByTextSoDrive10ComesBetween1And2) {
    WindowRig rig(FourDrives());
    ASSERT_TRUE(rig.start());
    QListWidget* drives = rig.window->listBox(ids::kDriveList);
    EXPECT_EQ(Entries(drives).join('|').toStdString(), "Drive 0 ALPHA|Drive 1 BRAVO|Drive 10 KILO|Drive 2 CHARLIE");
    EXPECT_EQ(drives->currentRow(), 0);
    EXPECT_EQ(rig.window->listItemData(ids::kDriveList, 2), 10);
    EXPECT_EQ(rig.window->listItemData(ids::kDriveList, 3), 2);
}

TEST(WindowDriveList, ClickingAnEntrySelectsThatDrive) {
    WindowRig rig(FourDrives());
    ASSERT_TRUE(rig.start());
    QListWidget* drives = rig.window->listBox(ids::kDriveList);
    ClickEntry(drives, 2);
    EXPECT_EQ(rig.dialog->driveNumber(), 10);
    EXPECT_EQ(rig.window->edit(ids::kStartField)->text(), QStringLiteral("0"));
    EXPECT_EQ(rig.window->edit(ids::kEndField)->text(), QStringLiteral("160086528"));
    EXPECT_EQ(rig.window->edit(ids::kCapacityField)->text(), QStringLiteral("78167.250000"));
    QTreeWidget* view = rig.window->listView(ids::kAttributeView);
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(0), QStringLiteral("005"));

    ClickEntry(drives, 3);
    EXPECT_EQ(rig.dialog->driveNumber(), 2);
    EXPECT_EQ(view->topLevelItemCount(), 0);
    EXPECT_EQ(rig.window->listBox(ids::kInfoList)->count(), 4);
    EXPECT_EQ(rig.window->listBox(ids::kInfoList)->item(3)->text(), QStringLiteral("Scan"));
}

TEST(WindowDriveList, RangeAndCapacityFieldsShowLargeDrivesFromTheFirstCharacter) {
    // 1 TB and 4 TB drives: their capacity texts are wider than the capacity field.
    WindowRig rig(MachineText({{0, 1953525168, "ONE TB", {}, ""}, {1, 7814037168, "FOUR TB", {}, ""}}));
    ASSERT_TRUE(rig.start());
    const struct {
        int row;
        QString end;
        QString capacity;
    } drives[] = {{1, "7814037168", "3815447.835938"}, {0, "1953525168", "953869.710938"}};
    for (const auto& drive : drives) {
        SCOPED_TRACE(drive.end.toStdString());
        ClickEntry(rig.window->listBox(ids::kDriveList), drive.row);
        EXPECT_EQ(rig.window->edit(ids::kEndField)->text(), drive.end);
        EXPECT_EQ(rig.window->edit(ids::kCapacityField)->text(), drive.capacity);
        for (int id : {ids::kStartField, ids::kEndField, ids::kCapacityField}) {
            QLineEdit* field = rig.window->edit(id);
            field->grab();  // paints, which is when a line edit scrolls its text
            const QRect textStart = field->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            EXPECT_EQ(field->cursorPosition(), 0) << "field " << id;
            EXPECT_LT(textStart.left(), field->contentsRect().left() + 6) << "field " << id;
        }
        QLineEdit* capacity = rig.window->edit(ids::kCapacityField);
        EXPECT_GT(capacity->fontMetrics().horizontalAdvance(drive.capacity), capacity->contentsRect().width());
    }
}

TEST(WindowDriveList, SelectionsMadeByTheProgramDoNotRunTheHandler) {
    WindowRig rig(FourDrives());
    ASSERT_TRUE(rig.start());
    rig.window->listSetSelection(ids::kDriveList, 3);  // LB_SETCURSEL sends no selection change
    EXPECT_EQ(rig.dialog->driveNumber(), 0);
    EXPECT_EQ(rig.window->listSelection(ids::kDriveList), 3);
    rig.window->listSetSelection(ids::kDriveList, -1);
    EXPECT_EQ(rig.window->listSelection(ids::kDriveList), -1);
}

TEST(WindowAttributeView, ShowsFourColumnsAndOneRowPerAttribute) {
    WindowRig rig(FourDrives());
    ASSERT_TRUE(rig.start());
    ClickEntry(rig.window->listBox(ids::kDriveList), 1);
    QTreeWidget* view = rig.window->listView(ids::kAttributeView);

    ASSERT_EQ(view->columnCount(), 4);
    const QStringList headings = {"AttibId", "Name", "Current state", "Value"};
    const int clientWidth = view->contentsRect().width();
    const double shares[] = {0.2, 0.4, 0.2, 0.2};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(view->headerItem()->text(c), headings[c]);
        EXPECT_EQ(view->header()->sectionSize(c), static_cast<int>(clientWidth * shares[c])) << "column " << c;
    }
    ASSERT_EQ(view->topLevelItemCount(), 3);
    const QStringList row1 = {view->topLevelItem(1)->text(0), view->topLevelItem(1)->text(1),
                              view->topLevelItem(1)->text(2), view->topLevelItem(1)->text(3)};
    EXPECT_EQ(row1, (QStringList{"009", "Power-On Hours", "1234", "97"}));
    EXPECT_EQ(view->topLevelItem(0)->text(1), QStringLiteral("Read Error Rate"));
    EXPECT_EQ(view->topLevelItem(2)->text(0), QStringLiteral("194"));

    EXPECT_NE(dynamic_cast<qtui::GridDelegate*>(view->itemDelegate()), nullptr);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(rig.window->viewSelectionMark(ids::kAttributeView), -1);
}

TEST(WindowAttributeView, ClickingARowShowsItsWrappedDescriptionOnce) {
    WindowRig rig(FourDrives());
    ASSERT_TRUE(rig.start());
    ClickEntry(rig.window->listBox(ids::kDriveList), 1);
    QTreeWidget* view = rig.window->listView(ids::kAttributeView);
    QListWidget* info = rig.window->listBox(ids::kInfoList);

    for (int pass = 0; pass < 2; ++pass) {
        ClickRow(view, 0);
        EXPECT_EQ(rig.window->viewSelectionMark(ids::kAttributeView), 0);
        EXPECT_EQ(Entries(info), (QStringList{"Indicates the rate of hardware read errors that occurred",
                                              " when reading data from a disk surface."}));
    }
    EXPECT_TRUE(view->topLevelItem(0)->isSelected());

    // Another drive empties the view and the mark with it.
    ClickEntry(rig.window->listBox(ids::kDriveList), 3);
    EXPECT_EQ(rig.window->viewSelectionMark(ids::kAttributeView), -1);
    EXPECT_EQ(info->count(), 4);
}
