#pragma once
// A read-only window with a drive's own self-test log and error log, one table each.
#include <QDialog>

#include "app/self_test_panel.h"

class QTableWidget;
class QLabel;

namespace qtui {

class DriveLogsDialog : public QDialog {
    Q_OBJECT
public:
    DriveLogsDialog(int driveNumber, const app::DriveLogTables& tables, QWidget* parent = nullptr);
    QTableWidget* selfTestTable() const { return selfTests_; }
    QTableWidget* errorTable() const { return errors_; }

private:
    QTableWidget* selfTests_ = nullptr;
    QTableWidget* errors_ = nullptr;
};

}  // namespace qtui
