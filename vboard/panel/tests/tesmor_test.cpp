// Tesmor and the panel on one board: what the panel does reaches Tesmor through the real bus.
#include <winapi_standin.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "key_pad.h"
#include "panel_fixture.h"
#include "seven_segment.h"
#include "tesmor_dlg.h"
#include "tesmor_resources.h"
#include "tool_support.h"

namespace vboard::panel::test {
namespace {

// The eight lamps as the user sees them: 'g' green, 'R' red, '?' anything else.
QString Lamps() {
    QString out;
    for (int i = 0; i < 8; ++i) {
        auto* lamp = Control<QLabel>(IDC_LAMP1 + i);
        if (!lamp) return QStringLiteral("no lamps");
        const QRgb c = lamp->pixmap().toImage().pixel(7, 7);
        out += qGreen(c) > 2 * qRed(c) ? 'g' : qRed(c) > 2 * qGreen(c) ? 'R' : '?';
    }
    return out;
}

QString RedAt(int lamp) {
    QString out(8, 'g');
    if (lamp >= 0) out[lamp] = 'R';
    return out;
}

void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

}  // namespace

class TesmorWithPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { fixture_.emplace(); }
    void cleanup() {
        QVERIFY(ToolUntil([] { return standin::PendingRequestCount() == 0; }));
        fixture_.reset();
    }

    void aKeyHeldOnThePanelLightsItsLampInTesmor() {
        CTesmorDlg dlg;
        RunDialog(dlg, [&] {
            KeyPad* keys = fixture_->panel().keys();
            QVERIFY(ToolUntil([] { return Lamps() == RedAt(-1); }));
            QTest::mousePress(keys->button(3), Qt::LeftButton);
            QVERIFY2(ToolUntil([] { return Lamps() == RedAt(3); }), qPrintable(Lamps()));
            QTest::mouseRelease(keys->button(3), Qt::LeftButton);
            QVERIFY2(ToolUntil([] { return Lamps() == RedAt(-1); }), qPrintable(Lamps()));
            // From the keyboard, as the panel's user does.
            QTest::keyPress(&fixture_->panel(), Qt::Key_8);
            QVERIFY2(ToolUntil([] { return Lamps() == RedAt(7); }), qPrintable(Lamps()));
            QTest::keyRelease(&fixture_->panel(), Qt::Key_8);
            QVERIFY2(ToolUntil([] { return Lamps() == RedAt(-1); }), qPrintable(Lamps()));
        });
    }

    void tesmorsValueShowsOnThePanelsDisplay() {
        CTesmorDlg dlg;
        RunDialog(dlg, [&] {
            QVERIFY(ToolUntil([] { return Control<QPushButton>(IDC_MODIFY)->isEnabled(); }));
            dlg.GetDlgItem(IDC_VALUE)->SetWindowText("c0ffee");
            Control<QPushButton>(IDC_MODIFY)->click();
            SevenSegmentDisplay* display = fixture_->panel().display();
            QVERIFY(ToolUntil([&] { return display->text() == QStringLiteral("00C0FFEE"); }));
        });
    }

    void unplugFromThePanelTurnsTesmorsTitle() {
        CTesmorDlg dlg;
        RunDialog(dlg, [&] {
            QVERIFY(ToolUntil([] { return Control<QPushButton>(IDC_MODIFY)->isEnabled(); }));
            const QString named = Title(dlg);
            QVERIFY(named != kNoBoardTitle);
            auto* plug = fixture_->panel().findChild<QCheckBox*>(QStringLiteral("plug"));
            QVERIFY(plug);
            Tick(plug);
            QVERIFY2(ToolUntil([&] { return Title(dlg) == kNoBoardTitle; }), qPrintable(Title(dlg)));
            QVERIFY(!Control<QPushButton>(IDC_MODIFY)->isEnabled());
            Tick(plug);
            QVERIFY2(ToolUntil([&] { return Title(dlg) == named; }), qPrintable(Title(dlg)));
        });
    }

  private:
    std::optional<PanelFixture> fixture_;
};

}  // namespace vboard::panel::test

QTEST_MAIN(vboard::panel::test::TesmorWithPanelTest)
#include "tesmor_test.moc"
