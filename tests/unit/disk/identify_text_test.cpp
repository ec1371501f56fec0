// Identify texts: byte-swapped ATA strings decoded in place, and the readers that take at most
// the field width.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "disk/drive_table.h"

namespace {

// An ATA string as a drive stores it: padded with spaces to width, then each byte pair swapped.
std::string AtaField(const std::string& text, int width) {
    std::string padded = text;
    padded.resize(static_cast<std::size_t>(width), ' ');
    for (int k = 0; 2 * k + 1 < width; ++k) std::swap(padded[2 * k], padded[2 * k + 1]);
    return padded;
}

// A field between guard bytes, so a write outside it shows.
struct GuardedField {
    explicit GuardedField(const std::string& raw) : width(static_cast<int>(raw.size())) {
        std::memset(bytes, 0x5A, sizeof bytes);
        for (std::size_t i = 0; i < raw.size(); ++i) bytes[8 + i] = static_cast<std::uint8_t>(raw[i]);
    }
    std::uint8_t* field() { return bytes + 8; }
    std::string text() const {
        const char* start = reinterpret_cast<const char*>(bytes + 8);
        return std::string(start, strnlen(start, static_cast<std::size_t>(width)));
    }
    bool guardsIntact() const {
        for (int i = 0; i < 8; ++i)
            if (bytes[i] != 0x5A) return false;
        for (int i = 8 + width; i < static_cast<int>(sizeof bytes); ++i)
            if (bytes[i] != 0x5A) return false;
        return true;
    }
    std::uint8_t bytes[300];
    int width;
};

TEST(DecodeIdentifyText, SwapsPairsAndTrimsBothEnds) {
    GuardedField model(std::string("BADC E") + std::string(34, ' '));
    disk::DecodeIdentifyText(model.field(), 40);
    EXPECT_EQ(model.text(), "ABCDE");
    EXPECT_TRUE(model.guardsIntact());

    GuardedField serial(AtaField("      WD-WMAV12345", 20));
    disk::DecodeIdentifyText(serial.field(), 20);
    EXPECT_EQ(serial.text(), "WD-WMAV12345");
    EXPECT_TRUE(serial.guardsIntact());

    GuardedField firmware(AtaField("\t01.0\r\n", 8));
    disk::DecodeIdentifyText(firmware.field(), 8);
    EXPECT_EQ(firmware.text(), "01.0");
    EXPECT_TRUE(firmware.guardsIntact());
}

TEST(DecodeIdentifyText, FullWidthTextHasNoTerminator) {
    const std::string forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    disk::PhysicalDrive drive;
    const std::string raw = AtaField(forty, 40);
    for (int i = 0; i < 40; ++i) drive.identify[disk::kModelOffset + i] = static_cast<std::uint8_t>(raw[i]);
    std::memset(drive.identify + disk::kModelOffset + 40, 'X', 256 - disk::kModelOffset - 40);
    disk::DecodeIdentifyText(drive.identify + disk::kModelOffset, disk::kModelWidth);
    EXPECT_EQ(drive.identify[disk::kModelOffset + 39], 'd');
    EXPECT_EQ(drive.identify[disk::kModelOffset + 40], 'X');  // the byte after the field is untouched
    EXPECT_EQ(drive.model(), forty);                           // the reader stops at the width
}

TEST(DecodeIdentifyText, BlankAndZeroFilledFieldsBecomeEmpty) {
    GuardedField blank(std::string(20, ' '));
    disk::DecodeIdentifyText(blank.field(), 20);
    EXPECT_EQ(blank.text(), "");
    EXPECT_TRUE(blank.guardsIntact());

    GuardedField zeros(std::string(8, '\0'));
    disk::DecodeIdentifyText(zeros.field(), 8);
    EXPECT_EQ(zeros.text(), "");

    // A zero byte inside the text ends it.
    GuardedField cut(AtaField(std::string("AB\0CD", 5), 8));
    disk::DecodeIdentifyText(cut.field(), 8);
    EXPECT_EQ(cut.text(), "AB");
}

TEST(DecodeIdentifyText, OddOrOversizedWidthsStayInsideTheField) {
    GuardedField odd(AtaField("ABCDEFG", 7));
    disk::DecodeIdentifyText(odd.field(), 7);
    EXPECT_TRUE(odd.guardsIntact());
    EXPECT_EQ(odd.text(), "ABCDEF");  // the unpaired last byte is dropped

    GuardedField wide(AtaField(std::string(260, 'Q'), 280));
    disk::DecodeIdentifyText(wide.field(), 280);
    EXPECT_EQ(wide.text().substr(0, 4), "QQQQ");
    EXPECT_TRUE(wide.guardsIntact());

    GuardedField none("AB");
    disk::DecodeIdentifyText(none.field(), 0);
    disk::DecodeIdentifyText(none.field(), -5);
    disk::DecodeIdentifyText(nullptr, 40);
    EXPECT_EQ(none.text(), "AB");
}

TEST(PhysicalDriveTexts, ReadersTakeAtMostTheirWidth) {
    disk::PhysicalDrive drive;
    std::memset(drive.identify, 'Z', sizeof drive.identify);
    EXPECT_EQ(drive.serial().size(), 20u);
    EXPECT_EQ(drive.firmware().size(), 8u);
    EXPECT_EQ(drive.model().size(), 40u);
    drive.identify[disk::kFirmwareOffset + 3] = 0;
    EXPECT_EQ(drive.firmware(), "ZZZ");
    EXPECT_EQ(disk::PhysicalDrive{}.model(), "");
}

}  // namespace
