#include "scan/pump.h"

namespace scan {

void pumpOneMessage(platform::Surface& surface) { surface.pumpOneMessage(); }

}  // namespace scan
