// Line breaking of attribute descriptions in the information list.
#include "app/attribute_lines.h"

#include <gtest/gtest.h>

#include "health/attribute_catalogue.h"

namespace {

using Lines = std::vector<std::string>;

TEST(AttributeLines, CatalogueDescriptionsBreakAtTheSpaceAfterTheCutPoint) {
    health::AttributeCatalogue catalogue;
    catalogue.BuildCatalogue();
    EXPECT_EQ(app::WrapDescription(catalogue.AttributeDescription(1)),
              (Lines{"Indicates the rate of hardware read errors that occurred", " when reading data from a disk surface."}));
    EXPECT_EQ(app::WrapDescription(catalogue.AttributeDescription(2)),
              (Lines{"Overall throughput performance of a hard", " disk drive."}));
    EXPECT_EQ(app::WrapDescription(catalogue.AttributeDescription(0)), (Lines{"Unknown S.M.A.R.T. detail"}));
}

TEST(AttributeLines, LongTextsWrapRepeatedlyAndUnbreakableTailsStayWhole) {
    const std::string word10 = "abcdefghi ";
    std::string text;
    for (int i = 0; i < 15; ++i) text += word10;  // 150 characters, a space every 10
    const Lines lines = app::WrapDescription(text);
    ASSERT_GE(lines.size(), 3u);
    std::string joined;
    for (const std::string& line : lines) joined += line;
    EXPECT_EQ(joined, text);  // nothing lost, nothing added
    EXPECT_EQ(lines[0].size(), 59u);

    const std::string noSpace(80, 'x');
    EXPECT_EQ(app::WrapDescription(noSpace), (Lines{noSpace}));
    EXPECT_EQ(app::WrapDescription(""), (Lines{""}));
    const std::string exactly49(49, 'y');
    EXPECT_EQ(app::WrapDescription(exactly49 + " "), (Lines{exactly49, " "}));
}

}  // namespace
