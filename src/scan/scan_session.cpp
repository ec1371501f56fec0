#include "scan/scan_session.h"

#include <cstdio>

#include "platform/text_codec.h"
#include "scan/format_text.h"
#include "scan/scan_controls.h"
#include "scan/scan_texts.h"
#include "scan/session_file.h"

namespace scan {
namespace {

platform::FileDialogRequest SessionDialog(const char* title, const char* filter, bool forSaving) {
    platform::FileDialogRequest request;
    request.title = title;
    request.filterDescription = filter;
    request.filterPattern = texts::kSessionPattern;
    request.forSaving = forSaving;
    return request;
}

}  // namespace

void ScanSession::Stop() {
    if (surface_.messageBox(texts::kStopQuestion, texts::kStopCaption, platform::MB_YESNO) != platform::IDYES)
        return;
    state_.stopRequested = true;
    if (surface_.messageBox(texts::kSaveQuestion, texts::kSaveCaption, platform::MB_YESNO) != platform::IDYES)
        return;
    const std::optional<std::string> chosen =
        surface_.fileDialog(SessionDialog(texts::kSaveDialogTitle, texts::kSaveFilter, true));
    if (!chosen) return;
    // The extension is always added, even to a name that already has it; the path stays in the
    // file system's bytes.
    SaveSession(*chosen + texts::kSessionExtension);
}

bool ScanSession::SaveSession(const std::string& path) {
    char resume[24];
    std::snprintf(resume, sizeof resume, "%lld", static_cast<long long>(state_.currentLba));
    const std::optional<std::string> resumeText = CheckedNumberText(resume);
    const std::optional<std::string> endText = CheckedNumberText(surface_.controlText(controls::kEndField));
    // Everything is checked before the file is touched, so a refused value changes nothing.
    if (!resumeText || !endText || resumeText->size() > kLongestResumeText || endText->size() > kLongestEndText) {
        surface_.messageBox(texts::kNotNumeric, texts::kShortCaption, platform::MB_OK);
        return false;
    }
    std::string reason;
    if (ReplaceFileContents(path, FormatSessionFile(*resumeText, *endText), reason)) return true;

    // Message texts are Windows-1252: the path is converted for showing only.
    const std::string shownPath = platform::utf8ToCp1252(path);
    const std::string shownReason = platform::utf8ToCp1252(reason);
    const long long lba = static_cast<long long>(state_.currentLba);
    surface_.messageBox(FormatText(texts::kSessionNotSaved, shownPath.c_str(), shownReason.c_str(), lba),
                        texts::kCaption, platform::MB_OK);
    return false;
}

void ScanSession::OpenSession() {
    const std::optional<std::string> chosen =
        surface_.fileDialog(SessionDialog(texts::kOpenDialogTitle, texts::kOpenFilter, false));
    if (!chosen) return;
    std::string bytes;
    const SmallFileRead read = ReadSmallFile(*chosen, kLongestSessionFile, bytes);
    if (read == SmallFileRead::CannotOpen) {
        surface_.messageBox(texts::kCannotOpenText, texts::kCannotOpenCaption, platform::MB_OK);
        return;
    }
    const std::optional<SessionValues> values =
        read == SmallFileRead::Read ? ParseSessionFile(bytes) : std::nullopt;
    if (!values) {
        const std::string shownPath = platform::utf8ToCp1252(*chosen);
        surface_.messageBox(FormatText(texts::kInvalidSession, shownPath.c_str()), texts::kCaption, platform::MB_OK);
        return;
    }
    surface_.setControlText(controls::kStartField, values->resumeText);
    surface_.setControlText(controls::kEndField, values->endText);
}

}  // namespace scan
