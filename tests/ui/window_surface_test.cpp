// The Surface calls the dialog logic makes, checked on the real widgets: Windows-1252 texts at
// the Qt boundary, message box buttons and answers, the session file dialogs, report view columns.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QListWidget>
#include <QTreeWidget>
#include <algorithm>

#include "app/control_ids.h"
#include "test_machines.h"
#include "window_rig.h"

namespace ids = app::ids;
using uitest::MachineText;
using uitest::ModalAnswerer;
using uitest::WindowRig;

namespace {

std::string OneDrive() { return MachineText({{0, 1000, "ONLY DISK", {{194, 90, 30}}, ""}}); }

}  // namespace

TEST(WindowSurface, TextsCrossIntoQtFromWindows1252AndBack) {
    WindowRig rig(OneDrive());
    ASSERT_TRUE(rig.start());
    rig.window->setTitle("40 \xB0 C \x92");
    EXPECT_EQ(rig.window->windowTitle(), QString::fromUtf8("40 \u00B0 C \u2019"));
    EXPECT_EQ(rig.window->title(), "40 \xB0 C \x92");

    rig.window->setControlText(ids::kStartField, "12\xB0");
    EXPECT_EQ(rig.window->edit(ids::kStartField)->text(), QString::fromUtf8("12\u00B0"));
    EXPECT_EQ(rig.window->controlText(ids::kStartField), "12\xB0");
    EXPECT_EQ(rig.window->controlText(4242), "");

    const int index = rig.window->listAddString(ids::kInfoList, "it\x92s");
    EXPECT_EQ(rig.window->listText(ids::kInfoList, index), "it\x92s");
    EXPECT_EQ(rig.window->listBox(ids::kInfoList)->item(index)->text(), QString::fromUtf8("it\u2019s"));
}

TEST(WindowSurface, UnsortedListsAppendAndSortedListsPlaceByTheirOrder) {
    WindowRig rig(OneDrive());
    ASSERT_TRUE(rig.start());
    rig.window->listClear(ids::kInfoList);
    EXPECT_EQ(rig.window->listAddString(ids::kInfoList, "b"), 0);
    EXPECT_EQ(rig.window->listAddString(ids::kInfoList, "a"), 1);

    rig.window->listClear(ids::kDriveList);
    EXPECT_EQ(rig.window->listAddString(ids::kDriveList, "drive 2"), 0);
    EXPECT_EQ(rig.window->listAddString(ids::kDriveList, "Drive 1"), 0);
    EXPECT_EQ(rig.window->listAddString(ids::kDriveList, "Drive 10"), 1);
    EXPECT_EQ(rig.window->listAddString(ids::kDriveList, "DRIVE 2"), 3) << "equal texts keep their arrival order";
    EXPECT_EQ(rig.window->listCount(ids::kDriveList), 4);
    EXPECT_EQ(rig.dialog->driveNumber(), 0) << "filling the list is no user selection";
}

TEST(WindowSurface, MessageBoxesShowTheirButtonsAndAnswerWithWindowsCodes) {
    WindowRig rig(OneDrive());
    ASSERT_TRUE(rig.start());
    ModalAnswerer answerer(rig, 10000);
    answerer.answer(QStringLiteral("yes please"), QMessageBox::Yes);

    EXPECT_EQ(rig.window->messageBox("plain", "Caption", platform::MB_OK), platform::IDOK);
    EXPECT_EQ(rig.window->messageBox("yes please", "Q", platform::MB_YESNO), platform::IDYES);
    EXPECT_EQ(rig.window->messageBox("then no", "Q", platform::MB_YESNO), platform::IDNO);
    EXPECT_EQ(rig.window->messageBox("scan&repair <b>x</b> 40 \xB0", "C\xB0", platform::MB_OK), platform::IDOK);
    ASSERT_EQ(answerer.seen.size(), 4u);
    EXPECT_EQ(answerer.seen[0].caption, QStringLiteral("Caption"));
    EXPECT_EQ(answerer.seen[3].text, QString::fromUtf8("scan&repair <b>x</b> 40 \u00B0"));
    EXPECT_EQ(answerer.seen[3].caption, QString::fromUtf8("C\u00B0"));
}

TEST(WindowSurface, MessageBoxHasNoIconAndOnlyItsOwnButtons) {
    WindowRig rig(OneDrive());
    ASSERT_TRUE(rig.start());
    QMessageBox::Icon icon = QMessageBox::Critical;
    QList<QMessageBox::StandardButton> buttons;
    Qt::TextFormat format = Qt::RichText;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            icon = box->icon();
            format = box->textFormat();
            for (QAbstractButton* button : box->buttons()) buttons << box->standardButton(button);
            box->button(QMessageBox::No)->click();
        }
    });
    poll.start(5);
    EXPECT_EQ(rig.window->messageBox("question", "caption", platform::MB_YESNO), platform::IDNO);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(format, Qt::PlainText);
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
}

TEST(WindowSurface, SaveDialogTakesANewNameAndAsksNothingAboutReplacing) {
    WindowRig rig(OneDrive());
    ASSERT_TRUE(rig.start());
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("kept.qsx"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString unusual = folder.filePath(QString::fromUtf8("s\u00E9ance \u0416"));
    ModalAnswerer answerer(rig, 10000);
    answerer.chooseFiles({folder.filePath(QStringLiteral("new-name")), existing, unusual, std::nullopt});

    const platform::FileDialogRequest save{"Save current session", "Varim hard disk session", "*.qsx", true};
    EXPECT_EQ(rig.window->fileDialog(save), folder.filePath(QStringLiteral("new-name")).toStdString());
    EXPECT_EQ(rig.window->fileDialog(save), existing.toStdString());
    // The file system's own bytes, so the session lands in the folder the user chose.
    EXPECT_EQ(rig.window->fileDialog(save), QFile::encodeName(unusual).toStdString());
    EXPECT_EQ(rig.window->fileDialog(save), std::nullopt);
    ASSERT_EQ(answerer.seen.size(), 4u) << "no replace question for the existing file";
    EXPECT_EQ(answerer.seen[0].caption, QStringLiteral("Save current session"));
    EXPECT_EQ(answerer.seen[0].text, QStringLiteral("Varim hard disk session (*.qsx)"));
}

TEST(WindowSurface, ReportViewColumnsCanBeRemovedAndInsertedAnywhere) {
    WindowRig rig(OneDrive());
    ASSERT_TRUE(rig.start());
    const int id = ids::kAttributeView;
    QTreeWidget* view = rig.window->listView(id);
    rig.window->viewDeleteAllItems(id);
    while (rig.window->viewColumnCount(id) > 0) rig.window->viewDeleteColumn(id, 0);
    EXPECT_EQ(view->columnCount(), 0);

    rig.window->viewInsertColumn(id, 0, "B", 50);
    rig.window->viewInsertColumn(id, 0, "A", 40);
    rig.window->viewInsertColumn(id, 9, "C", 30);
    EXPECT_EQ(rig.window->viewInsertItem(id, 5, "a0"), 0);
    rig.window->viewSetItemText(id, 0, 1, "b0");
    rig.window->viewSetItemText(id, 0, 2, "c0");
    rig.window->viewSetItemText(id, 0, 3, "ignored");
    EXPECT_EQ(rig.window->viewInsertItem(id, 0, "a1"), 0);

    rig.window->viewDeleteColumn(id, 0);
    ASSERT_EQ(view->columnCount(), 2);
    EXPECT_EQ(view->headerItem()->text(0), QStringLiteral("B"));
    EXPECT_EQ(view->columnWidth(0), 50);
    EXPECT_EQ(view->columnWidth(1), 30);
    EXPECT_EQ(view->topLevelItem(1)->text(0), QStringLiteral("b0"));
    EXPECT_EQ(view->topLevelItem(1)->text(1), QStringLiteral("c0"));
    EXPECT_GT(rig.window->viewClientWidth(id), 290);
    EXPECT_LE(rig.window->viewClientWidth(id), 303);
}
