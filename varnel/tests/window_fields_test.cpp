// The window's fields, clamps and request checks, and detection.
#include <afx_testing.h>

#include "board_link.h"
#include "window_fixture.h"

namespace {

const std::string kErrorCaption = "错误";
const std::string kWarningCaption = "警告";
const std::string kReadOverflow = "所要读取的数据超过E2PROM地址区间，溢出。";
const std::string kTooLong = "所写入的数据过长，每次最多只能写入64个字节的数据。";
const std::string kNoData = "请输入所要写入的数据。";
const std::string kBadSpacing =
    "您所输入的数据格式不对，请检查是否漏掉了空格或有多余的空格或数据的位数不对。";
const std::string kNotHex = "您所输入的数据格式不对，其中有可能有些不是16进制数。";
const std::string kWriteOverflow = "所要写入的数据超过E2PROM地址区间，溢出。";

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

using VarnelFields = VarnelWindowTest;

TEST_F(VarnelFields, LengthAndStartAddressesAreClampedAsTyped) {
    bus.AddBoard();
    driver.Run(dlg, [&](CVarnelDlg& d) {
        EXPECT_EQ(Text(d, IDC_READ_LENGTH), "1");
        EXPECT_EQ(Text(d, IDC_READ_START), "0");
        EXPECT_EQ(Text(d, IDC_WRITE_START), "0");
        const struct {
            int id;
            const char* typed;
            const char* shown;
        } cases[] = {
            {IDC_READ_LENGTH, "0", "1"},
            {IDC_READ_LENGTH, "-7", "1"},
            {IDC_READ_LENGTH, "64", "64"},
            {IDC_READ_LENGTH, "65", "64"},
            {IDC_READ_LENGTH, "100000", "64"},
            {IDC_READ_LENGTH, "17", "17"},
            {IDC_READ_START, "256", "255"},
            {IDC_READ_START, "-1", "0"},
            {IDC_READ_START, "255", "255"},
            {IDC_READ_START, "12", "12"},
            {IDC_WRITE_START, "300", "255"},
            {IDC_WRITE_START, "-3", "0"},
            {IDC_WRITE_START, "99999999999", "255"},
            {IDC_WRITE_START, "192", "192"},
        };
        for (const auto& c : cases) {
            Type(d, c.id, c.typed);
            EXPECT_EQ(Text(d, c.id), c.shown) << "typed " << c.typed << " into " << c.id;
        }
        EXPECT_EQ(d.length, 17);
        EXPECT_EQ(d.readStart, 12);
        EXPECT_EQ(d.writeStart, 192);
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

TEST_F(VarnelFields, ReadMayEndAtTheLastAddressButNotPastIt) {
    vboard::Board& board = bus.AddBoard();
    std::vector<std::uint8_t> top(64);
    for (int i = 0; i < 64; ++i) top[i] = static_cast<std::uint8_t>(0xC0 + i);
    ASSERT_TRUE(board.WriteEeprom(192, top));

    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_READ_LENGTH, "64");
        Type(d, IDC_READ_START, "193");
        Type(d, IDC_READ_DISPLAY, "left from before");
        Click(d, IDC_READ);
        ExpectLastBox(kReadOverflow, kErrorCaption, MB_ICONERROR);
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), "") << "a refused read has already emptied the display";
        EXPECT_TRUE(ButtonsOn(d)) << "a refused read starts nothing";
        EXPECT_EQ(Requests(board, "device", vboard::LogOp::Ioctl, vboard::kIoctlTransfer), 0u)
            << "a refused read sends no transfer request";

        Type(d, IDC_READ_START, "192");
        RunJob(dlg, IDC_READ);
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), HexText(top));
    });
    EXPECT_EQ(driver.BoxCount(), 1u);
}

TEST_F(VarnelFields, WriteChecksComeInTheirOrder) {
    vboard::Board& board = bus.AddBoard();
    const struct {
        const char* start;
        std::string text;
        std::string message;  // empty: accepted
        std::string caption;
        UINT type;
    } cases[] = {
        // 193 bytes: too long, though the spacing and the digits are wrong as well.
        {"0", Repeat("0g ", 64) + "0", kTooLong, kWarningCaption, MB_ICONWARNING},
        {"0", "", kNoData, kWarningCaption, MB_ICONWARNING},
        {"0", "01 0", kBadSpacing, kErrorCaption, MB_ICONERROR},
        {"0", "01 02  ", kBadSpacing, kErrorCaption, MB_ICONERROR},
        {"0", "01 0g", kNotHex, kErrorCaption, MB_ICONERROR},
        {"0", "x1 02", kNotHex, kErrorCaption, MB_ICONERROR},
        // The digits are checked before the range.
        {"254", "0g 01 02", kNotHex, kErrorCaption, MB_ICONERROR},
        {"254", "01 02 03", kWriteOverflow, kErrorCaption, MB_ICONERROR},
        {"193", Repeat("5a ", 64), kWriteOverflow, kErrorCaption, MB_ICONERROR},
        {"192", Repeat("5a ", 64), "", "", 0},
        {"253", "01 02 03", "", "", 0},
        {"0", "A0 b1-C2", "", "", 0},
    };
    driver.Run(dlg, [&](CVarnelDlg& d) {
        for (const auto& c : cases) {
            SCOPED_TRACE("start " + std::string(c.start) + ", text '" + c.text + "'");
            Type(d, IDC_WRITE_START, c.start);
            Type(d, IDC_WRITE_DATA, c.text);
            const std::size_t before = driver.BoxCount();
            if (c.message.empty()) {
                RunJob(dlg, IDC_WRITE);
                EXPECT_EQ(driver.BoxCount(), before) << "an accepted write shows nothing";
            } else {
                Click(d, IDC_WRITE);
                ASSERT_EQ(driver.BoxCount(), before + 1);
                ExpectLastBox(c.message, c.caption, c.type);
                EXPECT_TRUE(ButtonsOn(d));
                EXPECT_EQ(Text(d, IDC_WRITE_DATA), c.text) << "a refused write leaves the data as typed";
            }
        }
    });
    const vboard::Eeprom eeprom = board.EepromContents();
    for (int i = 192; i < 253; ++i) EXPECT_EQ(eeprom[i], 0x5a) << i;
    EXPECT_EQ(eeprom[253], 0x01);
    EXPECT_EQ(eeprom[254], 0x02);
    EXPECT_EQ(eeprom[255], 0x03);
    EXPECT_EQ(eeprom[0], 0xa0);
    EXPECT_EQ(eeprom[1], 0xb1);
    EXPECT_EQ(eeprom[2], 0xc2);
    // Only the accepted writes reached the board.
    EXPECT_EQ(Requests(board, "PIPE03", vboard::LogOp::Write), 3u);
}

TEST_F(VarnelFields, WriteDataIsCountedInBytesAChineseCharacterTwo) {
    bus.AddBoard();
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {Repeat("中", 97), kTooLong},  // 97 characters, 194 bytes
        {Repeat("中", 96), kNotHex},   // 192 bytes: the length passes
        {"中中", kBadSpacing},         // 4 bytes
        {"01 中", kNotHex},            // 5 bytes: two pairs, the second no digits
        {"01 02 03 数", kNotHex},      // 11 bytes
    };
    driver.Run(dlg, [&](CVarnelDlg& d) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            Type(d, IDC_WRITE_DATA, c.text);
            ASSERT_EQ(Text(d, IDC_WRITE_DATA), c.text) << "the field holds the GBK text";
            Click(d, IDC_WRITE);
            ExpectLastBox(c.message, c.message == kTooLong ? kWarningCaption : kErrorCaption,
                          c.message == kTooLong ? MB_ICONWARNING : MB_ICONERROR);
        }
    });
    EXPECT_EQ(driver.BoxCount(), 5u);
}

TEST_F(VarnelFields, ClearButtonsEmptyTheirFields) {
    bus.AddBoard();
    driver.Run(dlg, [&](CVarnelDlg& d) {
        Type(d, IDC_READ_DISPLAY, "00 11 ");
        Type(d, IDC_WRITE_DATA, "22 33");
        Click(d, IDC_CLEAR_READ);
        EXPECT_EQ(Text(d, IDC_READ_DISPLAY), "");
        EXPECT_EQ(Text(d, IDC_WRITE_DATA), "22 33");
        Click(d, IDC_CLEAR_WRITE);
        EXPECT_EQ(Text(d, IDC_WRITE_DATA), "");
    });
}

TEST_F(VarnelFields, DetectionNamesTheBoardAndSetsTheButtons) {
    vboard::Board* board = nullptr;
    driver.Run(dlg, [&](CVarnelDlg& d) {
        EXPECT_EQ(Title(d), kNoBoardTitle);
        EXPECT_TRUE(ButtonsOff(d));

        // A board arriving is a device change; this one has a type byte of no known model.
        board = &bus.AddBoard({.type = 0x5a});
        ASSERT_TRUE(WaitFor([&] { return Title(d) == kUnknownBoardTitle; }));
        EXPECT_TRUE(ButtonsOff(d));

        board->SetType(0x22);
        afx::testing::SimulateDeviceChange();
        ASSERT_TRUE(WaitFor([&] { return Title(d) == BoardTypeTitle(0x22); }));
        EXPECT_TRUE(ButtonsOn(d));

        board->Unplug();
        ASSERT_TRUE(WaitFor([&] { return Title(d) == kNoBoardTitle; }));
        EXPECT_TRUE(ButtonsOff(d));
    });
    EXPECT_EQ(driver.BoxCount(), 0u);
}

}  // namespace
