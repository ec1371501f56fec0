#pragma once
// The main window's logic, free of any toolkit: its state, the start-up sequence and every
// command handler. The window (Qt or console) implements platform::Surface, calls these
// handlers for user actions and draws what PaintIndicators returns.
#include <array>
#include <memory>
#include <string>

#include "app/indicators.h"
#include "app/scan_setup.h"
#include "disk/drive_access.h"
#include "disk/drive_table.h"
#include "health/attribute_catalogue.h"
#include "platform/durable_folder.h"
#include "platform/kernel.h"
#include "platform/limits.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "scan/repair_journal.h"
#include "scan/scan_engine.h"
#include "scan/scan_session.h"
#include "scan/speed_test.h"

namespace app {

inline constexpr const char* kIdleTitle = "Varim Hard Disk Repair 4.1";
inline constexpr const char* kCommandCaption = "Varim Hard Disk Repair";
inline constexpr const char* kRefusalCaption = "Varim Hard Disk Recovery";
inline constexpr const char* kProductWebAddress = "https://varim.example/hdd-repair";
inline constexpr int kListedDrives = platform::kDriveNumbers;
inline constexpr int kSupportedMajorVersion = 5;

// The four help lines the information list shows after a drive selection.
inline constexpr const char* kHelpLines[4] = {
    "The S.M.A.R.T. details for the selected hard disk is displayed",
    "above. Press on each smart attribute to see more information.",
    "In order to repair hard disk select one in the list and press",
    "Scan",
};

// The refusal shown on an operating system other than major version 5.
std::string RefusalText();

struct DialogServices {
    platform::Kernel& kernel;
    platform::OsVersion& osVersion;
    platform::ProcessExit& processExit;
    platform::Clock& clock;
    std::string executablePath;  // the settings file lives beside it
    std::uint32_t transferMib = 0;  // the scan's transfer size (0: one block at a time)
    // Where repairs save each block before zeroing it; pending entries are written back at
    // start-up. nullptr: repairs are not journaled (tests only).
    platform::DurableFolder* journalFolder = nullptr;
    ScanRecords* scanRecords = nullptr;  // where each scan's summary is kept; nullptr: not kept
};

class MainDialog {
public:
    // Constructs the drive table (which loads the settings file); nothing touches a drive yet.
    explicit MainDialog(const DialogServices& services);
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // WM_INITDIALOG: the start-up sequence over the window's surface (which must outlive the
    // dialog). Refuses unsupported systems through ProcessExit before any drive is touched.
    // Returns true; false only when ProcessExit returned after a refusal (a test double) and
    // nothing else ran.
    bool InitialiseDialog(platform::Surface& surface);

    // Command handlers, called by the window for user actions.
    void OnScan();                  // button 1009
    void OnStop();                  // button 1023
    void OnOpenSession();           // button 1024
    scan::SpeedResult OnTestSpeed();  // button 1008; shows the rates in a message box
    void SelectDrive();             // LBN_SELCHANGE of the drive list
    void ShowAttributeDetails();    // NM_CLICK of the attribute view
    // Exit button, Enter, close box, Alt+F4, SIGINT/SIGTERM/SIGHUP: sets the stop flag; ends the
    // process at once when idle, or right after the running scan has returned.
    void ExitNow();
    // WM_PAINT while not minimised: evaluates the indicators (updating the alarms) and returns
    // what to draw.
    IndicatorPaint PaintIndicators();

    // Model text of drive n through the table recorded at start-up; empty when unknown.
    std::string modelTextOf(int driveNumber) const;
    bool scanExecuting() const;
    // The kernel the dialog reaches the drives through (the window's drive menu uses it too).
    platform::Kernel& kernel() const { return services_.kernel; }
    bool exitPending() const { return exitPending_; }

    // State, for the window, the console tool and tests.
    const disk::DriveTable& driveTable() const { return *table_; }
    const health::AttributeCatalogue& catalogue() const { return catalogue_; }
    int driveNumber() const { return fields_.driveNumber; }
    double capacityMb() const { return capacityMb_; }
    const scan::ScanFields& scanFields() const { return fields_; }
    const scan::ScanState& scanState() const { return scanState_; }
    const IndicatorState& indicators() const { return indicators_; }
    const scan::ScanOutcome& lastScan() const { return lastScan_; }
    // The last scan of a drive number since start-up, for its surface map; nullptr when none.
    const ScanSummary* lastScanOf(int driveNumber) const;

private:
    void RecordDriveModels();
    void FillDriveList();
    void RefreshDriveData();
    void SetUpAttributeView();
    void FillAttributeView();
    void FillNvmeRows(const disk::PhysicalDrive& drive);
    void SetUpButtons();
    bool CheckOperatingSystem();
    void RecoverInterruptedRepairs();
    void SyncIndicatorAlarms();

    DialogServices services_;
    std::unique_ptr<disk::DriveTable> table_;
    disk::DriveAccess drives_;
    health::AttributeCatalogue catalogue_;
    platform::Surface* surface_ = nullptr;
    scan::ScanState scanState_;
    scan::ScanFields fields_;
    IndicatorState indicators_;
    double capacityMb_ = 0;
    std::array<bool, kListedDrives> modelRecorded_{};  // modelTextOf entries set at start-up
    std::unique_ptr<ScanSetup> scan_;
    std::unique_ptr<scan::ScanSession> session_;
    std::unique_ptr<scan::SpeedTest> speedTest_;
    scan::ScanOutcome lastScan_;
    bool exitPending_ = false;
};

}  // namespace app
