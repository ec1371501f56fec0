#pragma once
// One nested message step between two disk operations.
#include "platform/surface.h"

namespace scan {

// Lets the window handle at most one waiting message (Stop, Exit, painting); they run nested
// inside the caller.
void pumpOneMessage(platform::Surface& surface);

}  // namespace scan
