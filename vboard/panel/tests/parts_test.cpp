// The panel's parts on their own: segment shapes, the EEPROM mark at the edges, the traffic
// log's order and bound, and the `--panel` option.
#include <QTest>

#include "eeprom_view.h"
#include "seven_segment.h"
#include "traffic_view.h"
#include "vboard_panel/panel.h"

namespace vboard::panel::test {
namespace {

LogEntry Entry(std::uint64_t sequence) {
    LogEntry e;
    e.sequence = sequence;
    e.target = "PIPE00";
    e.op = LogOp::Read;
    return e;
}

QStringList Sequences(const TrafficView& view) {
    QStringList out;
    for (int i = 0; i < view.topLevelItemCount(); ++i) out << view.topLevelItem(i)->text(0);
    return out;
}

}  // namespace

class PartsTest : public QObject {
    Q_OBJECT
  private slots:
    void hexDigitsHaveTheirUsualShapes() {
        // Bits: a b c d e f g from bit 0.
        QCOMPARE(SegmentsFor(0x0), std::uint8_t{0b0111111});
        QCOMPARE(SegmentsFor(0x1), std::uint8_t{0b0000110});
        QCOMPARE(SegmentsFor(0x7), std::uint8_t{0b0000111});
        QCOMPARE(SegmentsFor(0x8), std::uint8_t{0b1111111});
        QCOMPARE(SegmentsFor(0xA), std::uint8_t{0b1110111});
        QCOMPARE(SegmentsFor(0xB), std::uint8_t{0b1111100});  // lower-case b, unlike 8
        QCOMPARE(SegmentsFor(0xD), std::uint8_t{0b1011110});  // lower-case d, unlike 0
        QCOMPARE(SegmentsFor(0xF), std::uint8_t{0b1110001});
        for (int a = 0; a < 16; ++a)
            for (int b = a + 1; b < 16; ++b)
                QVERIFY2(SegmentsFor(a) != SegmentsFor(b), qPrintable(QStringLiteral("%1 %2").arg(a).arg(b)));
        // Out of range: a bar, never a digit.
        QCOMPARE(SegmentsFor(16), std::uint8_t{0b1000000});
        QCOMPARE(SegmentsFor(0xFF), std::uint8_t{0b1000000});
    }

    void displayTextNamesEachDigit() {
        SevenSegmentDisplay display;
        display.SetDigits({0xF, 0xE, 0, 9, 0x10, 1, 2, 0xA});
        QCOMPARE(display.text(), QStringLiteral("FE09-12A"));
    }

    void eepromMarkStaysInsideTheEeprom() {
        EepromView view;
        view.MarkWrite(250, 20);
        QVERIFY(view.marked(250) && view.marked(255));
        QVERIFY(!view.marked(249) && !view.marked(256));
        view.MarkWrite(10, 0);
        for (int a = 0; a < kEepromSize; ++a) QVERIFY(!view.marked(a));
        view.MarkWrite(-5, 7);
        QVERIFY(view.marked(0) && view.marked(1) && !view.marked(2));
    }

    void eepromAsciiColumnShowsPrintablesOnly() {
        QCOMPARE(EepromView::AsciiChar('A'), QChar('A'));
        QCOMPARE(EepromView::AsciiChar(' '), QChar(' '));
        QCOMPARE(EepromView::AsciiChar('~'), QChar('~'));
        QCOMPARE(EepromView::AsciiChar(0x7F), QChar('.'));
        QCOMPARE(EepromView::AsciiChar(0x1F), QChar('.'));
        QCOMPARE(EepromView::AsciiChar(0xFF), QChar('.'));
        QCOMPARE(EepromView::HexText(0x0A), QStringLiteral("0A"));
    }

    void trafficKeepsTheNewestOnTopAndWithinBounds() {
        TrafficView view(nullptr, 3);
        view.Add({Entry(1), Entry(2)});
        QCOMPARE(Sequences(view), (QStringList{"2", "1"}));
        view.Add({Entry(3), Entry(4), Entry(5)});
        QCOMPARE(Sequences(view), (QStringList{"5", "4", "3"}));
        // Entries seen before (a log read overlapping the notifications) are not added twice.
        view.Add({Entry(4), Entry(5), Entry(6)});
        QCOMPARE(Sequences(view), (QStringList{"6", "5", "4"}));
        // A batch bigger than the bound keeps its newest.
        view.Add({Entry(7), Entry(8), Entry(9), Entry(10), Entry(11)});
        QCOMPARE(Sequences(view), (QStringList{"11", "10", "9"}));
    }

    void trafficColumnsNameTheRequest() {
        LogEntry e = Entry(7);
        e.op = LogOp::Ioctl;
        e.target = "device";
        e.code = 0x80002010;
        e.asked = 0;
        e.moved = 0;
        e.error = 1167;
        e.timeMs = 12045;
        e.status = LogStatus::Completed;
        const QStringList c = TrafficView::Columns(e);
        QCOMPARE(c[1], QStringLiteral("12.045"));
        QCOMPARE(c[6], QStringLiteral("0x80002010"));
        QCOMPARE(c[9], QStringLiteral("1167 not connected"));
        QCOMPARE(c[10], QStringLiteral("completed"));
        e.op = LogOp::Open;
        QVERIFY(TrafficView::Columns(e)[6].isEmpty());  // no code, id or sizes for an open
        QVERIFY(TrafficView::Columns(e)[5].isEmpty());
    }
};

}  // namespace vboard::panel::test

int RunPartsTests(int argc, char** argv) {
    vboard::panel::test::PartsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "parts_test.moc"
