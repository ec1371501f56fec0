#include "app/surface_map_svg.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/text_codec.h"

namespace app {
namespace {

constexpr int kColumns = 100;
constexpr int kCell = 8;  // px, with a 1 px gap after each
constexpr int kPitch = kCell + 1;
constexpr int kMargin = 20;
constexpr int kGridTop = 70;
constexpr int kGridWidth = kColumns * kPitch;
constexpr int kLegendWidth = 300;

// Fast reads light, slow ones dark red; unreadable blue; not read white.
constexpr const char* kClassColours[scan::kLatencyClasses] = {"#e0e0e0", "#a5d6a7", "#43a047",
                                                              "#ffa726", "#e53935", "#7f0000"};
constexpr const char* kUnreadableColour = "#1e40ff";
constexpr const char* kNotReadColour = "#ffffff";
constexpr const char* kRepairedStroke = "#00e5ff";

const char* kClassLabels[scan::kLatencyClasses] = {"under 5 ms",  "5 to 20 ms",   "20 to 50 ms",
                                                   "50 to 200 ms", "200 to 600 ms", "600 ms or more"};

// Text for XML character data and attributes: Windows-1252 in, escaped UTF-8 out; control
// characters, which XML does not allow, become spaces.
std::string Escaped(const std::string& cp1252) {
    std::string out;
    for (char c : platform::cp1252ToUtf8(cp1252)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

std::string UtcDate(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}

void Append(std::string& out, const char* format, auto... values) {
    char line[512];
    std::snprintf(line, sizeof line, format, values...);
    out += line;
}

}  // namespace

std::string SurfaceMapSvg(const ScanSummary& s) {
    const scan::SurfaceMap& map = s.map;
    const int rows = (static_cast<int>(map.cells) + kColumns - 1) / kColumns;
    const int gridHeight = rows * kPitch;
    const int legendHeight = 20 * 12 + 30 + 20 * 8;
    const int width = kMargin * 3 + kGridWidth + kLegendWidth;
    const int height = kGridTop + (gridHeight > legendHeight ? gridHeight : legendHeight) + kMargin;

    std::string out;
    out.reserve(200 + map.cells * 72);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    Append(out,
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
           "font-family=\"sans-serif\" font-size=\"13\">\n",
           width, height, width, height);
    Append(out, "<rect x=\"0\" y=\"0\" width=\"%d\" height=\"%d\" fill=\"#fafafa\"/>\n", width, height);

    const std::string title = Escaped(s.model) + " \xE2\x80\x94 serial " + Escaped(s.serial);
    Append(out, "<text class=\"title\" x=\"%d\" y=\"28\" font-size=\"18\" font-weight=\"bold\">%s</text>\n", kMargin,
           title.c_str());
    const char* how = s.latency.batched ? "each block timed as its share of its batch read" : "each block's first read timed";
    Append(out,
           "<text class=\"subtitle\" x=\"%d\" y=\"50\">sectors %lld to %lld, %s scan, %s, %s; %s; %lld block%s per "
           "cell</text>\n",
           kMargin, static_cast<long long>(s.start), static_cast<long long>(s.end), ModeName(s.mode),
           s.completed ? "completed" : "stopped", UtcDate(s.endTime).c_str(), how,
           static_cast<long long>(map.blocksPerCell), map.blocksPerCell == 1 ? "" : "s");

    out += "<g class=\"grid\">\n";
    for (std::uint32_t i = 0; i < map.cells; ++i) {
        const std::uint8_t cell = map.cell[i];
        const unsigned level = cell & scan::SurfaceMap::kClassMask;
        const char* fill = (cell & scan::SurfaceMap::kUnreadable) ? kUnreadableColour
                           : level == 0                           ? kNotReadColour
                                                                  : kClassColours[level - 1];
        const int x = kMargin + static_cast<int>(i % kColumns) * kPitch;
        const int y = kGridTop + static_cast<int>(i / kColumns) * kPitch;
        const bool repaired = (cell & scan::SurfaceMap::kRepaired) != 0;
        const bool outlined = repaired || level == 0;
        Append(out, "<rect class=\"cell\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"%s%s%s/>\n", x, y,
               kCell, kCell, fill, outlined ? " stroke=\"" : "",
               outlined ? (repaired ? kRepairedStroke : "#bdbdbd") : "", outlined ? "\" stroke-width=\"1.5\"" : "");
    }
    out += "</g>\n";

    // Legend: the six classes and the errors with their counts, then the marks.
    const int lx = kMargin * 2 + kGridWidth;
    int ly = kGridTop;
    out += "<g class=\"legend\">\n";
    Append(out, "<text x=\"%d\" y=\"%d\" font-weight=\"bold\">Blocks by read time</text>\n", lx, ly + 10);
    ly += 24;
    for (std::size_t c = 0; c <= scan::kLatencyClasses; ++c) {
        const bool error = c == scan::kLatencyClasses;
        const std::uint64_t count = error ? s.latency.errors : s.latency.blocks[c];
        Append(out, "<rect class=\"swatch\" x=\"%d\" y=\"%d\" width=\"12\" height=\"12\" fill=\"%s\"/>\n", lx, ly,
               error ? kUnreadableColour : kClassColours[c]);
        Append(out, "<text class=\"count\" data-class=\"%s\" data-count=\"%llu\" x=\"%d\" y=\"%d\">%s: %llu</text>\n",
               LatencyClassName(c), static_cast<unsigned long long>(count), lx + 18, ly + 11,
               error ? "read errors" : kClassLabels[c], static_cast<unsigned long long>(count));
        ly += 20;
    }
    Append(out,
           "<rect class=\"swatch\" x=\"%d\" y=\"%d\" width=\"12\" height=\"12\" fill=\"#ffffff\" stroke=\"%s\" "
           "stroke-width=\"1.5\"/>\n",
           lx, ly, kRepairedStroke);
    Append(out, "<text x=\"%d\" y=\"%d\">outlined: repaired (%d repaired, %d bad)</text>\n", lx + 18, ly + 11,
           s.repairedCount, s.badCount);
    ly += 20;
    Append(out,
           "<rect class=\"swatch\" x=\"%d\" y=\"%d\" width=\"12\" height=\"12\" fill=\"%s\" stroke=\"#bdbdbd\" "
           "stroke-width=\"1.5\"/>\n",
           lx, ly, kNotReadColour);
    Append(out, "<text x=\"%d\" y=\"%d\">not read</text>\n", lx + 18, ly + 11);
    ly += 34;
    out += "</g>\n";

    // Histogram on a logarithmic scale, so one slow block still shows beside millions of fast ones.
    out += "<g class=\"histogram\">\n";
    Append(out, "<text x=\"%d\" y=\"%d\" font-weight=\"bold\">Histogram (log scale)</text>\n", lx, ly);
    ly += 12;
    double largest = 1;
    for (std::size_t c = 0; c <= scan::kLatencyClasses; ++c) {
        const std::uint64_t count = c == scan::kLatencyClasses ? s.latency.errors : s.latency.blocks[c];
        largest = std::fmax(largest, std::log10(static_cast<double>(count) + 1));
    }
    for (std::size_t c = 0; c <= scan::kLatencyClasses; ++c) {
        const bool error = c == scan::kLatencyClasses;
        const std::uint64_t count = error ? s.latency.errors : s.latency.blocks[c];
        const double length = 200.0 * std::log10(static_cast<double>(count) + 1) / largest;
        Append(out, "<rect class=\"bar\" x=\"%d\" y=\"%d\" width=\"%.1f\" height=\"14\" fill=\"%s\" stroke=\"#616161\"/>\n",
               lx + 60, ly, length, error ? kUnreadableColour : kClassColours[c]);
        Append(out, "<text x=\"%d\" y=\"%d\" font-size=\"11\">%s</text>\n", lx, ly + 11, LatencyClassName(c));
        ly += 18;
    }
    out += "</g>\n</svg>\n";
    return out;
}

}  // namespace app
