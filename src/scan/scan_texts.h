#pragma once
// The texts the scan, session and speed-test commands show, byte for byte (Windows-1252).
namespace scan::texts {

inline constexpr const char* kCaption = "Varim Hard Disk Repair";
inline constexpr const char* kShortCaption = "Varim HDD Repair";
inline constexpr const char* kIdleTitle = "Varim Hard Disk Repair 4.1";
inline constexpr const char* kFinishedTitle = "Finished";

inline constexpr const char* kBackupWarning =
    "You should Backup you data IMEDIATELY from hard disk: %s! Smart attributes show wrong value! ";
inline constexpr const char* kTemperatureWarning =
    "The hard disk %s temperature is too higher. Check case air cooling system or install a suplimentary "
    "fan! ";
inline constexpr const char* kNotNumeric = "Start sector is not a valid numeric value";
inline constexpr const char* kWrongRange = "Wrong value indicating range to be scanned!";
inline constexpr const char* kModeQuestion =
    "Do you want to regenerate all hard disk surface (this method allows to repair instable sectors but is "
    "time consuming) or to perform standard scan&repair (faster method)? Press yes if you want to generate "
    "all surface or no if you want to perform a standard scan&repair!";
inline constexpr const char* kBadBlockEntry = "Bad sector LBA: %lld";
inline constexpr const char* kStatusLine = "%1.f %c Sector: %lld  Elapsed: %u min %u hrs Remaining: %u min %lld hrs";
inline constexpr const char* kJournalUnavailable =
    "Blocks are not being repaired: the repair journal cannot be written (%s). No block is zeroed unless "
    "its content is saved there first.";
inline constexpr const char* kJournalInMemory =
    "The repair journal in %s is kept in memory (tmpfs or ramfs): a power cut during a repair would lose "
    "the block being repaired.";
inline constexpr const char* kJournalLeftPending =
    "Block at sector %lld: its content could not be confirmed on the drive after the repair; it stays in "
    "the repair journal and is written back at the next start.";
inline constexpr const char* kCompleted = " Process completed %d bads found and %d repaired. ";
inline constexpr const char* kInterrupted = " Process intrerupted %d bads found and %d repaired. ";

// Stop and Open session.
inline constexpr const char* kStopQuestion = "Do you want to stop the scanning process?";
inline constexpr const char* kStopCaption = "Press yes if you want to stop the scanning! ";
inline constexpr const char* kSaveQuestion =
    "Do you want to save current sesion in order to start latter the scanning process ?";
inline constexpr const char* kSaveCaption = "Press yes if you want to save current session. ";
inline constexpr const char* kSaveDialogTitle = "Save current session";
inline constexpr const char* kSaveFilter = "Varim hard disk session";
inline constexpr const char* kOpenDialogTitle = "Open previously saved session";
inline constexpr const char* kOpenFilter = "Varim Hard Disk Repair session";
inline constexpr const char* kSessionPattern = "*.qsx";
inline constexpr const char* kSessionExtension = ".qsx";
inline constexpr const char* kCannotOpenText = "Varim Hard Disk Repair";
inline constexpr const char* kCannotOpenCaption = "Cannot Open file";
inline constexpr const char* kInvalidSession =
    "%s is not a valid session file: it must hold the resume sector, CR LF and the end sector, in digits.";
inline constexpr const char* kSessionNotSaved =
    "The session could not be saved to %s: %s. The scan stops at sector %lld; enter it as the start sector "
    "to continue from there.";

// Speed test.
inline constexpr const char* kSpeedResult =
    "Read speed of zone 1 (from sector 0): %.1f MB/s\nRead speed of zone 2 (from sector %llu): %.1f MB/s";

}  // namespace scan::texts
