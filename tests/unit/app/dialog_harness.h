#pragma once
// A MainDialog on a simulated machine with a recording fake surface: every window call is
// logged with the number of kernel calls made before it, so tests can check the order of
// start-up steps against each other and against the drive traffic.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_ids.h"
#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "fake_surface.h"
#include "platform/sim/simulated_kernel.h"

namespace apptest {

using platform::sim::SimulatedKernel;

struct SurfaceCall {
    std::string text;          // e.g. "showControl 1015 0"
    std::size_t kernelCalls;   // kernel calls logged before this window call
};

class RecordingSurface : public testsupport::FakeSurface {
public:
    const SimulatedKernel* kernel = nullptr;
    std::vector<SurfaceCall> log;

    void setControlText(int id, std::string_view text) override {
        Note("setControlText " + std::to_string(id) + " " + std::string(text));
        FakeSurface::setControlText(id, text);
    }
    void showControl(int id, bool shown) override {
        Note("showControl " + std::to_string(id) + " " + std::to_string(shown));
        FakeSurface::showControl(id, shown);
    }
    void enableControl(int id, bool enabled) override {
        Note("enableControl " + std::to_string(id) + " " + std::to_string(enabled));
        FakeSurface::enableControl(id, enabled);
    }
    int listAddString(int id, std::string_view text) override {
        Note("listAddString " + std::to_string(id) + " " + std::string(text));
        return FakeSurface::listAddString(id, text);
    }
    void listClear(int id) override {
        Note("listClear " + std::to_string(id));
        FakeSurface::listClear(id);
    }
    void listSetItemData(int id, int index, std::intptr_t data) override {
        Note("listSetItemData " + std::to_string(id) + " " + std::to_string(index) + " " + std::to_string(data));
        FakeSurface::listSetItemData(id, index, data);
    }
    void listSetSelection(int id, int index) override {
        Note("listSetSelection " + std::to_string(id) + " " + std::to_string(index));
        FakeSurface::listSetSelection(id, index);
    }
    void viewDeleteAllItems(int id) override {
        Note("viewDeleteAllItems " + std::to_string(id));
        FakeSurface::viewDeleteAllItems(id);
    }
    void viewAddExtendedStyle(int id, platform::DWORD style) override {
        Note("viewAddExtendedStyle " + std::to_string(id) + " " + std::to_string(style));
        FakeSurface::viewAddExtendedStyle(id, style);
    }
    void viewDeleteColumn(int id, int column) override {
        Note("viewDeleteColumn " + std::to_string(id) + " " + std::to_string(column));
        FakeSurface::viewDeleteColumn(id, column);
    }
    void viewInsertColumn(int id, int column, std::string_view heading, int width) override {
        Note("viewInsertColumn " + std::to_string(id) + " " + std::to_string(column) + " " + std::string(heading) +
             " " + std::to_string(width));
        FakeSurface::viewInsertColumn(id, column, heading, width);
    }
    int viewInsertItem(int id, int row, std::string_view text) override {
        Note("viewInsertItem " + std::to_string(id) + " " + std::to_string(row) + " " + std::string(text));
        return FakeSurface::viewInsertItem(id, row, text);
    }
    void setProgressPosition(int id, int position) override {
        Note("setProgressPosition " + std::to_string(id) + " " + std::to_string(position));
        FakeSurface::setProgressPosition(id, position);
    }
    void setSliderTickFrequency(int id, int frequency) override {
        Note("setSliderTickFrequency " + std::to_string(id) + " " + std::to_string(frequency));
        FakeSurface::setSliderTickFrequency(id, frequency);
    }
    void setSliderThumbColours(int id, platform::DWORD normal, platform::DWORD active) override {
        Note("setSliderThumbColours " + std::to_string(id) + " " + Hex(normal) + " " + Hex(active));
        FakeSurface::setSliderThumbColours(id, normal, active);
    }
    void setUpHoverButton(int id, int stripResource, std::string_view tooltip) override {
        Note("setUpHoverButton " + std::to_string(id) + " " + std::to_string(stripResource) + " " +
             std::string(tooltip));
        FakeSurface::setUpHoverButton(id, stripResource, tooltip);
    }
    bool loadBackground(int bitmapResource) override {
        Note("loadBackground " + std::to_string(bitmapResource));
        return FakeSurface::loadBackground(bitmapResource);
    }
    void setWindowIcon() override {
        Note("setWindowIcon");
        FakeSurface::setWindowIcon();
    }
    void setTitle(std::string_view title) override {
        Note("setTitle " + std::string(title));
        FakeSurface::setTitle(title);
    }
    int messageBox(std::string_view text, std::string_view caption, platform::DWORD type) override {
        Note("messageBox " + std::string(text));
        return FakeSurface::messageBox(text, caption, type);
    }

    // The logged calls whose text starts with one of the prefixes, in order.
    std::vector<std::string> Filtered(const std::vector<std::string>& prefixes) const {
        std::vector<std::string> out;
        for (const SurfaceCall& call : log)
            for (const std::string& prefix : prefixes)
                if (call.text.rfind(prefix, 0) == 0) {
                    out.push_back(call.text);
                    break;
                }
        return out;
    }
    // Index of the first logged call that equals text, or -1.
    int IndexOf(const std::string& text) const {
        for (std::size_t i = 0; i < log.size(); ++i)
            if (log[i].text == text) return static_cast<int>(i);
        return -1;
    }

private:
    void Note(std::string text) { log.push_back({std::move(text), kernel != nullptr ? kernel->calls().size() : 0}); }
    static std::string Hex(platform::DWORD value) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", value);
        return text;
    }
};

// ExitProcess that records instead of ending the test.
class RecordingExit : public platform::ProcessExit {
public:
    const SimulatedKernel* kernel = nullptr;
    const RecordingSurface* surface = nullptr;
    std::vector<int> codes;
    std::vector<std::size_t> kernelCallsAtExit;   // kernel calls logged before each exit
    std::vector<std::size_t> surfaceCallsAtExit;  // window calls logged before each exit
    void exitProcess(int code) override {
        codes.push_back(code);
        kernelCallsAtExit.push_back(kernel != nullptr ? kernel->calls().size() : 0);
        surfaceCallsAtExit.push_back(surface != nullptr ? surface->log.size() : 0);
    }
};

class DialogHarness {
public:
    explicit DialogHarness(std::string_view machineText) {
        std::string error;
        kernel = SimulatedKernel::fromText(machineText, ".", "machine.ini", error);
        EXPECT_NE(kernel, nullptr) << error;
        if (kernel == nullptr) return;
        surface.kernel = kernel.get();
        exit.kernel = kernel.get();
        exit.surface = &surface;
        // The controls start as the window creates them from the template.
        for (const app::ControlTemplate& control : app::kMainDialogTemplate) {
            testsupport::FakeControl& fake = surface.control(control.id);
            fake.shown = (control.styles & app::kStyleHidden) == 0;
            fake.enabled = (control.styles & app::kStyleDisabled) == 0;
            fake.sorted = (control.styles & app::kStyleSorted) != 0;
            fake.text = std::string(control.text);
        }
        dialog = std::make_unique<app::MainDialog>(
            app::DialogServices{*kernel, *kernel, exit, clock, "/nonexistent/varim-repair"});
    }

    bool Start() { return dialog != nullptr && dialog->InitialiseDialog(surface); }

    void Select(int entry) {
        surface.listSetSelection(app::ids::kDriveList, entry);
        dialog->SelectDrive();
    }
    void ClickRow(int row) {
        surface.control(app::ids::kAttributeView).selectionMark = row;
        dialog->ShowAttributeDetails();
    }
    std::vector<std::string> Items(int id) { return surface.control(id).items; }
    std::string Text(int id) { return surface.controlText(id); }

    // Kernel calls of one operation among the first `upTo` calls.
    int CountCalls(const std::string& operation, std::size_t upTo) const {
        int count = 0;
        const auto& calls = kernel->calls();
        for (std::size_t i = 0; i < upTo && i < calls.size(); ++i)
            if (calls[i].operation == operation) ++count;
        return count;
    }

    std::unique_ptr<SimulatedKernel> kernel;
    RecordingSurface surface;
    RecordingExit exit;
    platform::SystemClock clock;
    std::unique_ptr<app::MainDialog> dialog;
};

// A machine with one drive per [DriveN] block given; every drive fast.
inline std::string SmartDrive(int number, std::string_view model, std::uint64_t sectors,
                              std::string_view attributes) {
    return "[Drive" + std::to_string(number) + "]\nSectors = " + std::to_string(sectors) + "\nModel = " +
           std::string(model) + "\n" + std::string(attributes);
}

}  // namespace apptest
