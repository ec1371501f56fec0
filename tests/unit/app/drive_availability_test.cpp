// Why no drive opens: refused for rights, present but unopenable, or absent; no handle is left open.
#include "app/drive_availability.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/simulated_kernel.h"

namespace {

struct Case {
    const char* machine;
    app::DriveAvailability expected;
};

TEST(DriveAvailability, TellsRefusedFromUnopenableFromAbsent) {
    const Case cases[] = {
        {"[Machine]\nLetters = C:fixed\n", app::DriveAvailability::NoneFound},
        {"[Drive0]\nSectors = 1000\nOpenError = 5\n[Drive1]\nSectors = 1000\nOpenError = 32\n",
         app::DriveAvailability::PermissionDenied},
        {"[Drive0]\nSectors = 1000\nOpenError = 32\n", app::DriveAvailability::NoneOpens},
        // Only the last drive opens: every number before it is tried first.
        {"[Drive0]\nSectors = 1000\nOpenError = 5\n[Drive1]\nSectors = 1000\n",
         app::DriveAvailability::SomeOpen},
    };
    for (const Case& c : cases) {
        std::string error;
        auto kernel = platform::sim::SimulatedKernel::fromText(c.machine, ".", "test machine", error);
        ASSERT_TRUE(kernel) << error;
        EXPECT_EQ(app::CheckDriveAvailability(*kernel), c.expected) << c.machine;
        EXPECT_EQ(kernel->openHandleCount(), 0u) << c.machine;
    }
}

}  // namespace
