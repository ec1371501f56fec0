#include "app/demo_machine.h"

namespace app {

namespace {

// Raw values are six bytes, low byte first: 1234 hours is 210 4, 1200 sectors is 176 4.
// Every drive answers in 100 us plus 20 us per sector, so a scan's progress is visible and a
// whole scan of the small faulty drive 3 ends within about 20 seconds even in regenerate mode.
constexpr std::string_view kDemoMachine = R"ini([Machine]
Letters = C:fixed D:fixed E:fixed F:fixed G:fixed H:fixed I:cdrom
Version = 5.1

; A healthy drive.
[Drive0]
Sectors = 200000
Model = WDC WD5000AAKX-00ERMA0
Serial = WD-WCC2EXAMPLE0
Firmware = 15.01H15
Attribute.0 = 1, 0x002F, 200, 200, 0 0 0 0 0 0
Attribute.1 = 3, 0x0027, 139, 138, 36 16 0 0 0 0
Attribute.2 = 5, 0x0033, 200, 200, 0 0 0 0 0 0
Attribute.3 = 9, 0x0032, 98, 98, 210 4 0 0 0 0
Attribute.4 = 10, 0x0032, 100, 253, 0 0 0 0 0 0
Attribute.5 = 12, 0x0032, 100, 100, 71 1 0 0 0 0
Attribute.6 = 194, 0x0022, 112, 103, 38 0 0 0 0 0
Attribute.7 = 196, 0x0032, 200, 200, 0 0 0 0 0 0
Attribute.8 = 197, 0x0032, 200, 200, 0 0 0 0 0 0
Attribute.9 = 198, 0x0030, 200, 200, 0 0 0 0 0 0
Attribute.10 = 199, 0x0032, 200, 200, 0 0 0 0 0 0
Threshold.0 = 1, 51
Threshold.1 = 3, 21
Threshold.2 = 5, 140
Threshold.4 = 10, 0
LatencyUs = 100
LatencyPerSectorUs = 20

; A drive running hot: 58 degrees Celsius.
[Drive1]
Sectors = 120000
Model = ST3500418AS
Serial = 9VMEXAMPLE1
Firmware = CC38
Attribute.0 = 1, 0x000F, 117, 99, 112 3 0 0 0 0
Attribute.1 = 5, 0x0033, 100, 100, 0 0 0 0 0 0
Attribute.2 = 9, 0x0032, 71, 71, 144 101 0 0 0 0
Attribute.3 = 10, 0x0013, 100, 100, 0 0 0 0 0 0
Attribute.4 = 194, 0x0022, 58, 62, 58 0 0 0 18 0
Attribute.5 = 197, 0x0012, 100, 100, 0 0 0 0 0 0
Threshold.0 = 1, 6
Threshold.1 = 5, 36
Threshold.3 = 10, 97
LatencyUs = 100
LatencyPerSectorUs = 20

; Attributes beyond their limits: 45 reallocated sectors, 1200 pending sectors.
[Drive2]
Sectors = 100000
Model = SAMSUNG HD502HJ
Serial = S20BJ9EXAMPLE2
Firmware = 1AJ10001
Attribute.0 = 1, 0x002F, 100, 100, 0 0 0 0 0 0
Attribute.1 = 5, 0x0033, 95, 95, 45 0 0 0 0 0
Attribute.2 = 9, 0x0032, 92, 92, 48 117 0 0 0 0
Attribute.3 = 194, 0x0002, 59, 52, 41 0 0 0 0 0
Attribute.4 = 196, 0x0032, 95, 95, 45 0 0 0 0 0
Attribute.5 = 197, 0x0012, 94, 94, 176 4 0 0 0 0
Attribute.6 = 198, 0x0030, 100, 100, 0 0 0 0 0 0
Threshold.0 = 1, 51
Threshold.1 = 5, 10
LatencyUs = 100
LatencyPerSectorUs = 20

; A small drive with surface faults: unreadable, unwritable, pending and unstable sectors.
[Drive3]
Sectors = 20000
Model = Hitachi HDS721010CLA332
Serial = JP2940EXAMPLE3
Firmware = JP4OA3MA
Attribute.0 = 1, 0x000B, 97, 97, 14 0 0 0 0 0
Attribute.1 = 5, 0x0033, 100, 100, 3 0 0 0 0 0
Attribute.2 = 9, 0x0012, 96, 96, 130 12 0 0 0 0
Attribute.3 = 194, 0x0002, 166, 166, 36 0 15 0 45 0
Attribute.4 = 196, 0x0032, 100, 100, 3 0 0 0 0 0
Attribute.5 = 197, 0x0022, 100, 100, 4 0 0 0 0 0
Attribute.6 = 198, 0x0008, 100, 100, 0 0 0 0 0 0
Threshold.0 = 1, 16
Threshold.1 = 5, 5
BadRead = 1050, 15000-15015
BadWrite = 9000
Pending = 5000-5003
Weak = 8000-8099, 12340
LatencyUs = 100
LatencyPerSectorUs = 20

; An old drive whose driver answers no S.M.A.R.T. requests.
[Drive4]
Sectors = 50000
Smart = none
Model = Maxtor 6Y080L0
LatencyUs = 100
LatencyPerSectorUs = 20

; A healthy NVMe drive at 41 degrees Celsius (314 K), 3 % worn; warns at 85, critical at 90.
[Drive5]
Sectors = 150000
Transport = nvme
Model = Samsung SSD 970 EVO Plus 500GB
Serial = S4EVNX0EXAMPLE5
Firmware = 2B2QEXM7
Nvme.TemperatureKelvin = 314
Nvme.AvailableSpare = 100
Nvme.AvailableSpareThreshold = 10
Nvme.PercentageUsed = 3
Nvme.DataUnitsRead = 28403117
Nvme.DataUnitsWritten = 31200548
Nvme.HostReadCommands = 412903311
Nvme.HostWriteCommands = 603118207
Nvme.ControllerBusyTime = 1422
Nvme.PowerCycles = 1187
Nvme.PowerOnHours = 5311
Nvme.UnsafeShutdowns = 64
Nvme.TemperatureSensors = 314, 321
Nvme.WarningThresholdKelvin = 358
Nvme.CriticalThresholdKelvin = 363
LatencyUs = 50
LatencyPerSectorUs = 5
)ini";

}  // namespace

std::string_view DemoMachineText() { return kDemoMachine; }

}  // namespace app
