// GoogleTest main for the window tests: one QApplication for the whole run, on the offscreen
// platform unless the environment asks for another (test discovery runs the binary without
// CTest's environment).
#include <gtest/gtest.h>

#include <QApplication>

#include "window_program.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    qtui::PrepareApplication(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
