#include "panel_fixture.h"

#include <QTest>

#include "board_link.h"

namespace vboard::panel::test {

bool Until(const std::function<bool()>& pred, int timeoutMs) { return QTest::qWaitFor(pred, timeoutMs); }

PanelFixture::PanelFixture() : bus_("panel"), busDir_(QString::fromStdString(bus_.Directory())) {
    BoardOptions o;
    o.clock = ClockTime{12, 0, 0};
    o.clockRunning = false;
    std::string why;
    board_ = &bus_.AddBoard(std::move(o), &why);
    if (!why.empty()) qFatal("board does not start: %s", why.c_str());
    panel_ = std::make_unique<PanelWindow>(*board_);
    panel_->show();
    if (!QTest::qWaitForWindowExposed(panel_.get())) qFatal("panel not shown");
}

PanelFixture::~PanelFixture() { panel_.reset(); }

bool PanelFixture::WriteDigitRecord(const std::vector<std::uint8_t>& digits) {
    if (FindBoard() != 0) return false;
    HANDLE pipe = OpenBoardPipe("PIPE01");
    if (pipe == INVALID_HANDLE_VALUE) return false;
    const int written = WritePipeTimed(pipe, digits.data(), static_cast<DWORD>(digits.size()), 10000);
    CloseBoardHandle(pipe);
    return written == static_cast<int>(digits.size());
}

bool PanelFixture::WriteEepromThroughBus(int offset, const std::vector<std::uint8_t>& bytes) {
    if (FindBoard() != 0) return false;
    HANDLE device = OpenBoardDevice();
    if (device == INVALID_HANDLE_VALUE) return false;
    HANDLE pipe = OpenBoardPipe("PIPE03");
    bool ok =
        pipe != INVALID_HANDLE_VALUE &&
        SendTransferRequest(device, 0, static_cast<DWORD>(offset), static_cast<DWORD>(bytes.size())) == 0 &&
        WritePipeTimed(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), 10000) ==
            static_cast<int>(bytes.size());
    if (pipe != INVALID_HANDLE_VALUE) CloseBoardHandle(pipe);
    CloseBoardHandle(device);
    return ok;
}

}  // namespace vboard::panel::test
