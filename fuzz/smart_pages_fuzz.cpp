// The S.M.A.R.T. value and threshold pages through the probe. The attributes are the page's
// non-zero entries in page order with their bytes; the index names each id once, at its last
// slot; only that slot takes a threshold, from the last threshold entry with its id.
#include <cstddef>
#include <cstdint>

#include "disk/drive_access.h"
#include "disk/drive_probe.h"
#include "disk/drive_table.h"
#include "fuzz_check.h"
#include "page_kernel.h"

namespace {

constexpr int kEntries = 30;
constexpr int kEntrySize = 12;
constexpr int kFirstEntry = 2;

const std::uint8_t* Entry(const fuzz::PageKernel::Page& page, int j) {
    return page.data() + kFirstEntry + kEntrySize * j;
}

// The threshold the page gives this id (its last entry), or -1.
int ThresholdFor(const fuzz::PageKernel::Page& page, std::uint8_t id) {
    int threshold = -1;
    for (int j = 0; j < kEntries; ++j)
        if (Entry(page, j)[0] == id) threshold = Entry(page, j)[1];
    return threshold;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::PageKernel kernel;
    disk::DriveTable table("");
    // Drive 1 as well as 0, so the index keys of a drive other than the first are exercised.
    const int n = size > 0 && (data[0] & 1) != 0 ? 1 : 0;
    fuzz::FillPage(kernel.values, data, size, 1);
    fuzz::FillPage(kernel.thresholds, data, size, 1 + 512);
    disk::DriveAccess access(kernel);
    FUZZ_CHECK(disk::ProbeDrive(access, table, n));

    const disk::PhysicalDrive& drive = table.DriveAt(n);
    int slot = 0;
    for (int j = 0; j < kEntries; ++j) {
        const std::uint8_t* entry = Entry(kernel.values, j);
        if (entry[0] == 0) continue;
        FUZZ_CHECK(slot < drive.attributeCount);
        const disk::SmartAttribute& attribute = drive.attributes[static_cast<std::size_t>(slot)];
        FUZZ_CHECK(attribute.id == entry[0]);
        FUZZ_CHECK(attribute.current == entry[3] && attribute.worst == entry[4]);
        FUZZ_CHECK(attribute.raw == entry[5] + 256u * entry[6]);
        const bool lastOfItsId = table.FindAttribute(n, attribute.id) == &attribute;
        bool laterSlotHasId = false;
        for (int k = slot + 1; k < drive.attributeCount; ++k)
            laterSlotHasId = laterSlotHasId || drive.attributes[static_cast<std::size_t>(k)].id == attribute.id;
        FUZZ_CHECK(lastOfItsId == !laterSlotHasId);
        FUZZ_CHECK(attribute.threshold == (lastOfItsId ? ThresholdFor(kernel.thresholds, attribute.id) : -1));
        ++slot;
    }
    FUZZ_CHECK(slot == drive.attributeCount);
    FUZZ_CHECK(drive.number == n);
    for (int id = 1; id < 256; ++id) {
        const disk::SmartAttribute* found = table.FindAttribute(n, static_cast<std::uint8_t>(id));
        if (found == nullptr) continue;
        FUZZ_CHECK(found->id == id);
        FUZZ_CHECK(found >= drive.attributes.data() && found < drive.attributes.data() + drive.attributeCount);
    }
    return 0;
}
