#include "health/nvme_fields.h"

namespace health {

const std::array<NvmeField, 15> kNvmeFields = {{
    {1, "Critical Warning",
     "Warning bits the controller raises: 1 spare below threshold, 2 temperature out of range, 4 reliability "
     "degraded, 8 read-only mode, 16 volatile memory backup failed. Any bit set means trouble.",
     "criticalWarning", "varim_nvme_critical_warning", false},
    {2, "Composite Temperature",
     "Current composite temperature of the controller and its flash, in Kelvin (subtract 273 for degrees Celsius).",
     "temperatureCelsius", "varim_nvme_temperature_celsius", false},
    {3, "Available Spare",
     "Remaining spare capacity in percent. When it falls below the threshold the drive may soon stop accepting "
     "writes.",
     "availableSpare", "varim_nvme_available_spare_percent", false},
    {4, "Available Spare Threshold",
     "The spare capacity, in percent, below which the controller reports the critical warning for spare.",
     "availableSpareThreshold", "varim_nvme_available_spare_threshold_percent", false},
    {5, "Percentage Used",
     "Vendor estimate of the drive's life used, in percent, from its actual use and its rated endurance. 100 "
     "means the rated endurance is reached.",
     "percentageUsed", "varim_nvme_percentage_used", false},
    {6, "Data Units Read",
     "Data read by the host, in units of 1000 sectors of 512 bytes (512,000 bytes).",
     "dataUnitsRead", "varim_nvme_read_bytes_total", true},
    {7, "Data Units Written",
     "Data written by the host, in units of 1000 sectors of 512 bytes (512,000 bytes).",
     "dataUnitsWritten", "varim_nvme_written_bytes_total", true},
    {8, "Host Read Commands",
     "Count of read commands the controller completed.",
     "hostReadCommands", "varim_nvme_host_read_commands_total", true},
    {9, "Host Write Commands",
     "Count of write commands the controller completed.",
     "hostWriteCommands", "varim_nvme_host_write_commands_total", true},
    {10, "Controller Busy Time",
     "Minutes the controller was busy with I/O commands.",
     "controllerBusyMinutes", "varim_nvme_controller_busy_seconds_total", true},
    {11, "Power Cycles",
     "Count of power cycles.",
     "powerCycles", "varim_nvme_power_cycles_total", true},
    {12, "Power On Hours",
     "Count of hours in power-on state.",
     "powerOnHours", "varim_nvme_power_on_seconds_total", true},
    {13, "Unsafe Shutdowns",
     "Count of shutdowns without a shutdown notification, such as a power loss.",
     "unsafeShutdowns", "varim_nvme_unsafe_shutdowns_total", true},
    {14, "Media and Data Integrity Errors",
     "Count of unrecovered data integrity errors: data the drive could not read back. Any count above zero means "
     "data was lost.",
     "mediaErrors", "varim_nvme_media_errors_total", true},
    {15, "Error Information Log Entries",
     "Count of entries the controller has made in its error information log over its life.",
     "errorLogEntries", "varim_nvme_error_log_entries_total", true},
}};

const NvmeField* NvmeFieldNumbered(int number) {
    if (number < 1 || number > static_cast<int>(kNvmeFields.size())) return nullptr;
    return &kNvmeFields[static_cast<std::size_t>(number - 1)];
}

}  // namespace health
