#include "app/main_dialog.h"

#include <cinttypes>
#include <cstdio>

#include "app/attribute_lines.h"
#include "app/control_ids.h"
#include "app/dialog_template.h"
#include "disk/drive_probe.h"
#include "health/nvme_fields.h"
#include "scan/journal_recovery.h"

namespace app {

namespace {

std::string FormatInt(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Attribute view columns: heading and share of the view's client width.
struct AttributeColumn {
    const char* heading;
    double share;
};
constexpr AttributeColumn kAttributeColumns[] = {
    {"AttibId", 0.2},
    {"Name", 0.4},
    {"Current state", 0.2},
    {"Value", 0.2},
};

constexpr platform::DWORD kAttributeViewStyles = 0x121;  // grid lines, full-row select, flat scroll bars

}  // namespace

std::string RefusalText() {
    return std::string("This program is not compatible with your current operating system. Please visit ") +
           kProductWebAddress + " for updates.";
}

MainDialog::MainDialog(const DialogServices& services)
    : services_(services),
      table_(std::make_unique<disk::DriveTable>(services.executablePath)),
      drives_(services.kernel) {}

MainDialog::~MainDialog() = default;

bool MainDialog::InitialiseDialog(platform::Surface& surface) {
    surface_ = &surface;
    ScanSetupConfig config;
    config.transferMib = services_.transferMib;
    config.journalFolder = services_.journalFolder;
    config.records = services_.scanRecords;
    scan_ = std::make_unique<ScanSetup>(drives_, surface, services_.clock, scanState_,
                                        [this](int n) { return modelTextOf(n); }, config);
    session_ = std::make_unique<scan::ScanSession>(surface, scanState_);
    speedTest_ = std::make_unique<scan::SpeedTest>(drives_, surface, services_.clock);

    surface.setSliderTickFrequency(ids::kSlider1, 20);
    surface.setWindowIcon();
    fields_.driveNumber = 0;
    surface.setSliderThumbColours(ids::kSlider2, 0xC40000, 0xFF0000);
    surface.setSliderThumbColours(ids::kSlider1, 0xC4C4, 0xFFFF);
    fields_.temperatureAlarm = 0;
    SyncIndicatorAlarms();
    if (!CheckOperatingSystem()) return false;
    RecoverInterruptedRepairs();
    surface.setProgressPosition(ids::kProgress, 0);
    surface.showControl(ids::kProgress, false);
    catalogue_.BuildCatalogue();
    surface.setTitle(kIdleTitle);
    RecordDriveModels();
    FillDriveList();
    surface.loadBackground(ids::kBackground);
    SetUpButtons();
    RefreshDriveData();
    if (surface.listCount(ids::kDriveList) > 0) surface.listSetSelection(ids::kDriveList, 0);
    SetUpAttributeView();
    SelectDrive();
    return true;
}

bool MainDialog::CheckOperatingSystem() {
    const std::uint32_t major = services_.osVersion.getVersion() & 0xFF;
    if (major == kSupportedMajorVersion) return true;
    surface_->messageBox(RefusalText(), kRefusalCaption, 0);
    services_.processExit.exitProcess(0);
    return false;
}

void MainDialog::RecoverInterruptedRepairs() {
    if (services_.journalFolder == nullptr) return;
    // Nothing is written to a drive before the user agrees to it.
    const std::vector<scan::PendingRepair> pending = scan::ListPendingRepairs(*services_.journalFolder);
    if (pending.empty()) return;
    std::string question = "Repairs interrupted by a crash, kill or power cut left these blocks in the repair journal:";
    for (const std::string& line : scan::PendingRepairLines(pending)) question += "\n" + line;
    question += "\n\nWrite their saved content back now?";
    if (surface_->messageBox(question, kCommandCaption, platform::MB_YESNO) != platform::IDYES) return;
    const scan::RecoveryReport report = scan::RecoverPendingRepairs(drives_, *services_.journalFolder);
    if (report.empty()) return;
    std::string text = "Repairs interrupted by a crash, kill or power cut were found in the repair journal:";
    for (const std::string& line : scan::RecoveryLines(report)) text += "\n" + line;
    surface_->messageBox(text, kCommandCaption, 0);
}

void MainDialog::RecordDriveModels() {
    disk::EnumerateDrives(drives_, *table_);
    // Every drive whose probe answered in this first enumeration is named by its own record
    // from now on. Counting the first drivesRead numbers instead would name the wrong drives
    // (or none) whenever a lower-numbered drive does not answer, e.g. an NVMe disk before sda.
    for (int n = 0; n < disk::kDriveSlots; ++n)
        modelRecorded_[static_cast<std::size_t>(n)] = table_->ProbedInLastEnumeration(n);
}

std::string MainDialog::modelTextOf(int driveNumber) const {
    if (driveNumber < 0 || driveNumber >= disk::kDriveSlots) return {};
    if (!modelRecorded_[static_cast<std::size_t>(driveNumber)]) return {};
    return std::string(table_->DriveAt(driveNumber).model());
}

void MainDialog::FillDriveList() {
    for (int n = 0; n < kListedDrives; ++n) {
        const platform::Handle handle = drives_.OpenDrive(n, disk::OpenProfile::Sector);
        const std::uint32_t error = drives_.LastError();
        if (handle == platform::kInvalidHandle) continue;
        if (error == 0) {
            const std::string entry = "Drive " + std::to_string(n) + " " + modelTextOf(n);
            const int index = surface_->listAddString(ids::kDriveList, entry);
            surface_->listSetItemData(ids::kDriveList, index, n);
        }
        drives_.CloseDrive(handle);
    }
}

void MainDialog::RefreshDriveData() { disk::EnumerateDrives(drives_, *table_); }

void MainDialog::SetUpButtons() {
    for (const HoverButtonSetup& button : kHoverButtons) {
        surface_->setUpHoverButton(button.id, button.stripResource, button.tooltip);
        if (button.id == ids::kStop) surface_->showControl(ids::kStop, false);
    }
}

void MainDialog::SetUpAttributeView() {
    surface_->viewDeleteAllItems(ids::kAttributeView);
    surface_->viewAddExtendedStyle(ids::kAttributeView, kAttributeViewStyles);
    for (int columns = surface_->viewColumnCount(ids::kAttributeView); columns > 0; --columns)
        surface_->viewDeleteColumn(ids::kAttributeView, 0);
    const int width = surface_->viewClientWidth(ids::kAttributeView);
    int column = 0;
    for (const AttributeColumn& shape : kAttributeColumns) {
        surface_->viewInsertColumn(ids::kAttributeView, column++, shape.heading, static_cast<int>(width * shape.share));
    }
}

void MainDialog::SelectDrive() {
    // The drive list is disabled while a scan runs; a selection arriving anyway must not move
    // the scan's drive or probe drives under it.
    if (surface_ == nullptr || scanExecuting()) return;
    const int selection = surface_->listSelection(ids::kDriveList);
    if (selection >= 0) fields_.driveNumber = static_cast<int>(surface_->listItemData(ids::kDriveList, selection));
    surface_->listClear(ids::kInfoList);
    for (const char* line : kHelpLines) surface_->listAddString(ids::kInfoList, line);
    // Without a selected drive the range, capacity and attribute view keep what they show.
    if (selection < 0) return;

    const platform::Handle handle = drives_.OpenDrive(fields_.driveNumber, disk::OpenProfile::Sector);
    platform::DISK_GEOMETRY geometry{};
    if (handle != platform::kInvalidHandle) geometry = drives_.GetGeometry(handle);
    // The whole 64-bit product: a drive of 2^31 sectors or more gets its true size.
    const std::uint64_t sectors = disk::SectorCountOf(geometry);
    char text[48];
    surface_->setControlText(ids::kStartField, "0");
    std::snprintf(text, sizeof text, "%" PRIu64, sectors);
    surface_->setControlText(ids::kEndField, text);
    capacityMb_ = static_cast<double>(sectors) * 512.0 * (1.0 / 1048576.0);
    std::snprintf(text, sizeof text, "%f", capacityMb_);
    surface_->setControlText(ids::kCapacityField, text);
    if (handle != platform::kInvalidHandle) drives_.CloseDrive(handle);
    RefreshDriveData();
    FillAttributeView();
    // The panels must not go on showing the previous drive's temperature and status until
    // something else happens to repaint the window.
    surface_->requestRepaint();
}

void MainDialog::FillAttributeView() {
    surface_->viewDeleteAllItems(ids::kAttributeView);
    const int n = fields_.driveNumber;
    if (n < 0 || n >= disk::kDriveSlots) return;
    const disk::PhysicalDrive& drive = table_->DriveAt(n);
    if (drive.transport == disk::Transport::Nvme) {
        FillNvmeRows(drive);
        return;
    }
    const int count = drive.attributeCount < disk::kMaxAttributes ? drive.attributeCount : disk::kMaxAttributes;
    for (int row = 0; row < count; ++row) {
        const disk::SmartAttribute& attribute = drive.attributes[static_cast<std::size_t>(row)];
        surface_->viewInsertItem(ids::kAttributeView, row, FormatInt("%03d", attribute.id));
        surface_->viewSetItemText(ids::kAttributeView, row, 1, catalogue_.AttributeName(attribute.id));
        surface_->viewSetItemText(ids::kAttributeView, row, 2, FormatInt("%d", static_cast<int>(attribute.raw)));
        surface_->viewSetItemText(ids::kAttributeView, row, 3, FormatInt("%d", attribute.worst));
    }
}

// One row per health-log field: its number, its name and the value as the log holds it.
// There is no normalised value, so the last column stays empty.
void MainDialog::FillNvmeRows(const disk::PhysicalDrive& drive) {
    if (!drive.nvmeHealthRead) return;
    int row = 0;
    for (const health::NvmeField& field : health::kNvmeFields) {
        char raw[32];
        std::snprintf(raw, sizeof raw, "%" PRIu64, disk::NvmeFieldValue(drive.nvme, field.number));
        surface_->viewInsertItem(ids::kAttributeView, row, FormatInt("%03d", field.number));
        surface_->viewSetItemText(ids::kAttributeView, row, 1, field.name);
        surface_->viewSetItemText(ids::kAttributeView, row, 2, raw);
        surface_->viewSetItemText(ids::kAttributeView, row, 3, "");
        ++row;
    }
}

void MainDialog::ShowAttributeDetails() {
    if (surface_ == nullptr) return;
    const int row = surface_->viewSelectionMark(ids::kAttributeView);
    surface_->listClear(ids::kInfoList);
    const int n = fields_.driveNumber;
    if (row < 0 || n < 0 || n >= disk::kDriveSlots) return;
    const disk::PhysicalDrive& drive = table_->DriveAt(n);
    if (drive.transport == disk::Transport::Nvme) {
        const health::NvmeField* field = health::NvmeFieldNumbered(row + 1);
        if (!drive.nvmeHealthRead || field == nullptr) return;
        for (const std::string& line : WrapDescription(field->description)) surface_->listAddString(ids::kInfoList, line);
        return;
    }
    // The view may still show rows of an earlier probe; a row past the record's list shows nothing.
    if (row >= drive.attributeCount || row >= disk::kMaxAttributes) return;
    const std::uint8_t id = drive.attributes[static_cast<std::size_t>(row)].id;
    for (const std::string& line : WrapDescription(catalogue_.AttributeDescription(id)))
        surface_->listAddString(ids::kInfoList, line);
}

bool MainDialog::scanExecuting() const { return scan_ != nullptr && scan_->executing(); }

void MainDialog::ExitNow() {
    scanState_.stopRequested = true;
    if (!scanExecuting()) {
        services_.processExit.exitProcess(0);
        return;
    }
    // The scan may be between zeroing a block and writing it back: end after it returns.
    exitPending_ = true;
}

void MainDialog::OnScan() {
    if (scan_ == nullptr || scanExecuting()) return;
    lastScan_ = scan_->Run(fields_, *table_);
    SyncIndicatorAlarms();
    if (exitPending_) services_.processExit.exitProcess(0);
}

const ScanSummary* MainDialog::lastScanOf(int driveNumber) const {
    return scan_ != nullptr ? scan_->LastScanOf(driveNumber) : nullptr;
}

void MainDialog::OnStop() {
    if (session_ != nullptr) session_->Stop();
}

void MainDialog::OnOpenSession() {
    if (session_ != nullptr) session_->OpenSession();
}

scan::SpeedResult MainDialog::OnTestSpeed() {
    if (speedTest_ == nullptr) return {};
    const scan::SpeedResult result = speedTest_->Run(fields_.driveNumber, fields_.scanEnd);
    surface_->messageBox(scan::FormatSpeedResult(result, fields_.driveNumber), kCommandCaption, 0);
    return result;
}

IndicatorPaint MainDialog::PaintIndicators() {
    SyncIndicatorAlarms();
    IndicatorPaint paint = EvaluateIndicators(*table_, fields_.driveNumber, indicators_);
    indicators_ = paint.state;
    fields_.temperatureAlarm = indicators_.temperatureAlarm;
    fields_.warningDrive = indicators_.warningDrive;
    scanState_.backupAlarm = indicators_.backupAlarm;
    return paint;
}

// The alarms live where the scan reads them (its fields and state); the indicator state mirrors them.
void MainDialog::SyncIndicatorAlarms() {
    indicators_.temperatureAlarm = fields_.temperatureAlarm;
    indicators_.warningDrive = fields_.warningDrive;
    indicators_.backupAlarm = scanState_.backupAlarm;
}

}  // namespace app
