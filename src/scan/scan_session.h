#pragma once
// The Stop command (confirm, set the stop flag, offer to save the position) and the Open
// session command (load a saved position into the range fields). Session files hold the
// resume sector, CR LF and the end sector as decimal ASCII.
#include <optional>
#include <string>
#include <string_view>

#include "platform/surface.h"
#include "scan/scan_engine.h"

namespace scan {

struct SessionValues {
    std::string resumeText;  // digits
    std::string endText;     // digits
};

// Checks a session file's bytes; the two values, or nothing when it is not a valid session:
// 1 to 18 resume digits, CR LF, at most 19 end digits and nothing after them, both numbers a
// range field accepts.
std::optional<SessionValues> ParseSessionFile(std::string_view bytes);

class ScanSession {
public:
    ScanSession(platform::Surface& surface, ScanState& state) : surface_(surface), state_(state) {}

    // The Stop command: runs nested inside the scan's message step. Sets stopRequested once
    // the user confirms, then offers to save the session (the chosen name + ".qsx").
    void Stop();
    // The Open session command: fills the start and end fields from a chosen file; a file that
    // cannot be read or is not a valid session is refused with a message, the fields unchanged.
    void OpenSession();
    // Writes a session file for (currentLba, end field text) to path, a file-system path used
    // as given (".qsx" is not added here). The values are checked first and the file is
    // replaced only by a complete new one; false, with a message shown, when either fails.
    bool SaveSession(const std::string& path);

private:
    platform::Surface& surface_;
    ScanState& state_;
};

}  // namespace scan
