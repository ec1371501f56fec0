#pragma once
// The built-in simulated machine of the demo window and the console tool's demo: five drives
// that between them show every state the window knows (healthy, hot, attributes beyond their
// limits, surface faults to find and repair, no S.M.A.R.T. at all). Sectors live in memory.
#include <string_view>

namespace app {

// The machine description text (simulated machine file format).
std::string_view DemoMachineText();

}  // namespace app
