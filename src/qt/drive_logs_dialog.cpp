#include "drive_logs_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qtui {
namespace {

template <std::size_t Columns>
QTableWidget* MakeTable(QWidget* parent, const QStringList& headings,
                        const std::vector<std::array<std::string, Columns>>& rows) {
    auto* table = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(Columns), parent);
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < Columns; ++c)
            table->setItem(static_cast<int>(r), static_cast<int>(c),
                           new QTableWidgetItem(QString::fromStdString(rows[r][c])));
    }
    table->resizeColumnsToContents();
    return table;
}

}  // namespace

DriveLogsDialog::DriveLogsDialog(int driveNumber, const app::DriveLogTables& tables, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Drive %1: the drive's own logs").arg(driveNumber));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    if (!tables.note.empty()) layout->addWidget(new QLabel(QString::fromStdString(tables.note), this));
    layout->addWidget(new QLabel(QStringLiteral("Self-test log, newest first"), this));
    selfTests_ = MakeTable(this, {QStringLiteral("Type"), QStringLiteral("Status"), QStringLiteral("Remaining"),
                                  QStringLiteral("Hours"), QStringLiteral("First error LBA")},
                           tables.selfTests);
    layout->addWidget(selfTests_);
    layout->addWidget(new QLabel(QStringLiteral("Error log, newest first: ") +
                                     QString::fromStdString(tables.errorSummary),
                                 this));
    errors_ = MakeTable(this, {QStringLiteral("Hours"), QStringLiteral("LBA"), QStringLiteral("Status")},
                        tables.errors);
    layout->addWidget(errors_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 420);
}

}  // namespace qtui
