#pragma once
// The program's only window: a fixed 631 x 415 dialog built from the template table, painted
// with the tiled background and the indicator panels, routing every user action to a MainDialog
// handler. It is the dialog logic's platform::Surface.
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <map>
#include <memory>
#include <string>

#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "app/self_test_panel.h"
#include "indicator_painter.h"
#include "platform/surface.h"

class CBackdropSlider;
class CGraphicProgressCtrl;
class CHoverButton;
class QLineEdit;
class QListWidget;
class QTimer;
class QTreeWidget;

namespace qtui {

class DriveMenu;
class DriveLogsDialog;

class MainWindow : public QDialog, public platform::Surface {
    Q_OBJECT
public:
    // Builds every control of the template; nothing of the dialog logic runs yet. The dialog
    // must outlive the window.
    explicit MainWindow(app::MainDialog& dialog, QWidget* parent = nullptr);
    ~MainWindow() override;

    // WM_INITDIALOG: the dialog's start-up over this window, then the focus on the first
    // visible tab-stop control. False when the start-up refused to run (a test's ProcessExit
    // returned); the window is then left as it was.
    bool initialise();

    // The control of a template id, or nullptr.
    QWidget* control(int id) const;
    CHoverButton* hoverButton(int id) const;
    QListWidget* listBox(int id) const;
    QTreeWidget* listView(int id) const;
    QLineEdit* edit(int id) const;
    CGraphicProgressCtrl* progressBar(int id) const;
    CBackdropSlider* slider(int id) const;
    bool backgroundLoaded() const { return !background_.isNull(); }
    // How many paints have evaluated the indicators.
    int indicatorPaints() const { return indicatorPaints_; }
    const IndicatorPainter& indicatorPainter() const { return painter_; }
    // The drive list's context menu (its entries act on the drive under it).
    DriveMenu* driveMenu() const { return driveMenu_; }
    // The logs window opened last by "Drive logs…", while it is open.
    DriveLogsDialog* driveLogsDialog() const;

    // platform::Surface
    std::string controlText(int id) override;
    void setControlText(int id, std::string_view text) override;
    void showControl(int id, bool shown) override;
    void enableControl(int id, bool enabled) override;
    int listAddString(int id, std::string_view text) override;
    void listClear(int id) override;
    int listCount(int id) override;
    std::string listText(int id, int index) override;
    void listSetItemData(int id, int index, std::intptr_t data) override;
    std::intptr_t listItemData(int id, int index) override;
    int listSelection(int id) override;
    void listSetSelection(int id, int index) override;
    void viewDeleteAllItems(int id) override;
    void viewAddExtendedStyle(int id, platform::DWORD style) override;
    int viewColumnCount(int id) override;
    void viewDeleteColumn(int id, int column) override;
    int viewClientWidth(int id) override;
    void viewInsertColumn(int id, int column, std::string_view heading, int width) override;
    int viewInsertItem(int id, int row, std::string_view text) override;
    void viewSetItemText(int id, int row, int column, std::string_view text) override;
    int viewSelectionMark(int id) override;
    void setProgressPosition(int id, int position) override;
    void setSliderTickFrequency(int id, int frequency) override;
    void setSliderThumbColours(int id, platform::DWORD normal, platform::DWORD active) override;
    void setUpHoverButton(int id, int stripResource, std::string_view tooltip) override;
    bool loadBackground(int bitmapResource) override;
    void setWindowIcon() override;
    void setTitle(std::string_view title) override;
    std::string title() override;
    void requestRepaint() override;
    int messageBox(std::string_view text, std::string_view caption, platform::DWORD type) override;
    std::optional<std::string> fileDialog(const platform::FileDialogRequest& request) override;
    void pumpOneMessage() override;

    // Writes the SVG surface map of the drive's last scan to path (asked for when empty); false
    // when there is no such scan or the file could not be written.
    bool saveSurfaceMap(int driveNumber, const QString& path = QString());

public slots:
    // The OK command (Exit button, Enter): ExitNow.
    void okCommand();
    // The Cancel command (Escape): ends the modal run with 2. Ignored while a scan (or the speed
    // test) runs, so the window never disappears from under a command that is still working.
    void cancelCommand();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;


private:
    void createControl(const app::ControlTemplate& entry);
    void chainTabOrder();
    void buttonClicked(int id);
    void attributeViewClicked();
    QImage backgroundUnder(const QRect& area) const;
    // The drive menu: self-tests and the drive's own logs (main_window_drive_menu.cpp).
    void setUpDriveMenu();
    bool driveMenuAvailable() const;
    void postInformation(const std::string& line);
    void startSelfTest(int driveNumber, disk::SelfTestKind kind);
    void abortSelfTest(int driveNumber);
    void showDriveLogs(int driveNumber);
    void pollSelfTests();
    void showSelfTestProgress();

    app::MainDialog& dialog_;
    std::map<int, QWidget*> controls_;
    QImage background_;
    std::string title_;
    QFont dialogFont_;
    IndicatorPainter painter_;
    int indicatorPaints_ = 0;
    bool surfaceChange_ = false;  // selection changes made through the Surface are not the user's
    bool longCommand_ = false;    // the Scan or speed test command is on the stack
    int selectionMark_ = -1;      // the attribute view's marked row
    std::unique_ptr<app::SelfTestPanel> selfTests_;
    DriveMenu* driveMenu_ = nullptr;
    QTimer* selfTestTimer_ = nullptr;  // follows the self-tests started from the menu
    QPointer<DriveLogsDialog> logsDialog_;
};

}  // namespace qtui
