#pragma once
// Hand-drawn expectations: a picture as rows of letters, each letter standing for one colour.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pixel_image.h"

namespace controls::testing {

using Legend = std::map<char, Pixel>;

inline PixelImage fromGrid(const std::vector<std::string>& rows, const Legend& legend) {
    const int height = static_cast<int>(rows.size());
    const int width = height == 0 ? 0 : static_cast<int>(rows[0].size());
    PixelImage image(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.set(x, y, legend.at(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]));
    return image;
}

// Names the first few differing pixels, so a failure shows where the picture went wrong.
inline ::testing::AssertionResult samePixels(const PixelImage& expected, const PixelImage& actual) {
    if (expected.width != actual.width || expected.height != actual.height)
        return ::testing::AssertionFailure() << "size " << actual.width << "x" << actual.height << ", expected "
                                             << expected.width << "x" << expected.height;
    std::ostringstream out;
    int differences = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            if (expected.at(x, y) != actual.at(x, y) && ++differences <= 8)
                out << " (" << x << "," << y << ") is " << std::hex << (actual.at(x, y) & 0xFFFFFF) << " not "
                    << (expected.at(x, y) & 0xFFFFFF) << std::dec << ";";
    if (differences == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences << " pixels differ:" << out.str();
}

}  // namespace controls::testing
