// The main window's template table: what the window builds its controls from.
#include "app/dialog_template.h"

#include <gtest/gtest.h>

#include <set>

#include "app/control_ids.h"

namespace {

TEST(DialogTemplate, NineteenControlsInTabOrderWithUniqueIds) {
    const std::vector<int> order = {1, 1002, 1000, 1001, 1007, 1008, 1009, 1010, 1011, 1012,
                                    1013, 1014, 1015, 1016, 1021, 1022, 1023, 1024, 1025};
    std::vector<int> ids;
    for (const app::ControlTemplate& control : app::kMainDialogTemplate) ids.push_back(control.id);
    EXPECT_EQ(ids, order);
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(DialogTemplate, OnlyTheWorkingControlsAreShownAfterStartUp) {
    std::set<int> shown;
    for (const app::ControlTemplate& control : app::kMainDialogTemplate)
        if (control.shownAtStart) shown.insert(control.id);
    EXPECT_EQ(shown, (std::set<int>{1, 1009, 1011, 1012, 1013, 1014, 1016, 1021, 1024}));
    // Hidden in the template itself: never shown by anything.
    for (int id : {1002, 1000, 1001, 1007, 1008, 1010, 1022, 1025}) {
        const app::ControlTemplate* control = app::FindControlTemplate(id);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->styles & app::kStyleHidden) << id;
        EXPECT_TRUE(control->styles & app::kStyleDisabled) << id;
    }
    // The progress bar and Stop are created visible and hidden by the start-up.
    EXPECT_FALSE(app::FindControlTemplate(app::ids::kProgress)->styles & app::kStyleHidden);
    EXPECT_FALSE(app::FindControlTemplate(app::ids::kStop)->styles & app::kStyleHidden);
    EXPECT_EQ(app::FindControlTemplate(4711), nullptr);
}

TEST(DialogTemplate, ListsAndFieldsHaveTheirGeometryAndBehaviour) {
    const app::ControlTemplate* drives = app::FindControlTemplate(app::ids::kDriveList);
    EXPECT_EQ(drives->kind, app::ControlClass::ListBox);
    EXPECT_TRUE(drives->styles & app::kStyleSorted);
    EXPECT_EQ(drives->rect.x, 279);
    EXPECT_EQ(drives->rect.height, 142);
    EXPECT_FALSE(app::FindControlTemplate(app::ids::kInfoList)->styles & app::kStyleSorted);
    EXPECT_TRUE(app::FindControlTemplate(app::ids::kCapacityField)->styles & app::kStyleReadOnly);
    EXPECT_FALSE(app::FindControlTemplate(app::ids::kEndField)->styles & app::kStyleReadOnly);
    const app::ControlTemplate* view = app::FindControlTemplate(app::ids::kAttributeView);
    EXPECT_EQ(view->kind, app::ControlClass::ListView);
    EXPECT_TRUE(view->styles & app::kStyleReportView);
    EXPECT_TRUE(view->styles & app::kStyleSingleSelection);
    const app::ControlTemplate* progress = app::FindControlTemplate(app::ids::kProgress);
    EXPECT_EQ(progress->rect.x, 7);
    EXPECT_EQ(progress->rect.y, 239);
    EXPECT_EQ(progress->rect.width, 342);
    EXPECT_EQ(progress->rect.height, 10);
}

TEST(DialogTemplate, HoverButtonsInSetUpOrderWithTheirStripsAndSizes) {
    std::vector<int> order;
    for (const app::HoverButtonSetup& button : app::kHoverButtons) {
        order.push_back(button.id);
        EXPECT_EQ(app::FindControlTemplate(button.id)->kind, app::ControlClass::HoverButton);
    }
    EXPECT_EQ(order, (std::vector<int>{1009, 1008, 1, 1023, 1024}));
    EXPECT_EQ(app::kHoverButtons[3].tooltip, "Stop");
    EXPECT_EQ(app::kHoverButtons[3].stripResource, 156);
    EXPECT_EQ(app::kHoverButtons[3].widthPx, 163);
    EXPECT_EQ(app::kHoverButtons[3].heightPx, 43);
    EXPECT_EQ(app::kHoverButtons[2].widthPx, 54);
}

}  // namespace
