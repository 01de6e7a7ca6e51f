// Varnel and the panel on one board: Varnel's writes show in the panel's grid, and the panel's
// plug switch reaches Varnel's title through the real bus.
#include <winapi_standin.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "eeprom_view.h"
#include "panel_fixture.h"
#include "tool_support.h"
#include "varnel_controls.h"
#include "varnel_dlg.h"

namespace vboard::panel::test {
namespace {

void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

}  // namespace

class VarnelWithPanelTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { fixture_.emplace(); }
    void cleanup() {
        QVERIFY(ToolUntil([] { return standin::PendingRequestCount() == 0; }));
        fixture_.reset();
    }

    void varnelsWriteIsMarkedInThePanelsGrid() {
        CVarnelDlg dlg;
        RunDialog(dlg, [&] {
            QVERIFY(ToolUntil([] { return Control<QPushButton>(IDC_WRITE)->isEnabled(); }));
            dlg.GetDlgItem(IDC_WRITE_START)->SetWindowText("32");
            dlg.GetDlgItem(IDC_WRITE_DATA)->SetWindowText("de ad be ef ");
            Control<QPushButton>(IDC_WRITE)->click();
            EepromView* grid = fixture_->panel().eeprom();
            QVERIFY(ToolUntil([&] { return grid->contents()[35] == 0xEF; }));
            QCOMPARE(grid->contents()[32], std::uint8_t{0xDE});
            for (int a = 32; a < 36; ++a) QVERIFY(grid->marked(a));
            QVERIFY(!grid->marked(31) && !grid->marked(36));
        });
    }

    void unplugFromThePanelTurnsVarnelsTitle() {
        CVarnelDlg dlg;
        RunDialog(dlg, [&] {
            QVERIFY(ToolUntil([&] { return Control<QPushButton>(IDC_READ)->isEnabled(); }));
            const QString named = Title(dlg);
            QVERIFY(named != kNoBoardTitle);
            auto* plug = fixture_->panel().findChild<QCheckBox*>(QStringLiteral("plug"));
            QVERIFY(plug);
            Tick(plug);
            QVERIFY2(ToolUntil([&] { return Title(dlg) == kNoBoardTitle; }), qPrintable(Title(dlg)));
            QVERIFY(!Control<QPushButton>(IDC_READ)->isEnabled());
            Tick(plug);
            QVERIFY2(ToolUntil([&] { return Title(dlg) == named; }), qPrintable(Title(dlg)));
        });
    }

    void closingThePanelTurnsVarnelsTitle() {
        CVarnelDlg dlg;
        RunDialog(dlg, [&] {
            QVERIFY(ToolUntil([&] { return Control<QPushButton>(IDC_READ)->isEnabled(); }));
            QVERIFY(fixture_->panel().close());
            QVERIFY2(ToolUntil([&] { return Title(dlg) == kNoBoardTitle; }), qPrintable(Title(dlg)));
        });
    }

  private:
    std::optional<PanelFixture> fixture_;
};

}  // namespace vboard::panel::test

QTEST_MAIN(vboard::panel::test::VarnelWithPanelTest)
#include "varnel_test.moc"
