// The panel against a board on a private bus: it shows what the board does, whoever does it, and
// what it is told reaches the board.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <optional>

#include "clock_box.h"
#include "eeprom_view.h"
#include "fault_box.h"
#include "key_pad.h"
#include "panel_fixture.h"
#include "settings_box.h"
#include "seven_segment.h"
#include "traffic_view.h"
#include "vboard_panel/panel.h"

namespace vboard::panel::test {
namespace {

// Lit pixels of the display (the red of a lit segment).
int LitPixels(SevenSegmentDisplay& display) {
    const QImage image = display.grab().toImage();
    int lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 120) ++lit;
        }
    return lit;
}

void Choose(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
    emit box->activated(index);  // as a choice by the user does
}

// Clicks a check box on its indicator (a wide box does not take clicks past its text).
void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

FaultMode ShownMode(FaultBox* faults, Target target) {
    return static_cast<FaultMode>(faults->modeBox(target)->currentData().toInt());
}

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { fixture_.emplace(); }
    void cleanup() { fixture_.reset(); }

    // Started from the desktop menu (--message-box), a board that cannot start says why in a
    // message box, not only on a standard error nobody reads: an unsafe bus directory, a slot
    // another board holds.
    void aStartThatFailsSaysWhyInAMessageBox() {
        const QString unsafe = fixture_->busDir() + "-open";
        QVERIFY(QDir().mkpath(unsafe));
        QVERIFY(QFile::setPermissions(unsafe, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                  QFileDevice::ExeGroup));
        const struct {
            QString bus;
            std::vector<std::string> args;
            const char* said;
        } cases[] = {
            {unsafe, {"run", "--message-box"}, "open to other users"},
            {fixture_->busDir(), {"run", "--slot", QString::number(board().Slot()).toStdString(), "--message-box"},
             "is taken by another board"},
        };
        for (const auto& c : cases) {
            qputenv("VBOARD_BUS", c.bus.toLocal8Bit());
            QString shown, caption;
            QTimer::singleShot(0, [&] {
                QVERIFY(Until([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }));
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                shown = box->text();
                caption = box->windowTitle();
                QCOMPARE(box->icon(), QMessageBox::Critical);
                box->accept();
            });
            QCOMPARE(RunPanelProgram(c.args), 1);
            QVERIFY2(shown.contains(c.said), qPrintable(shown));
            QCOMPARE(caption, QStringLiteral("Virtual Board"));
        }
        qunsetenv("VBOARD_BUS");
        QDir(unsafe).removeRecursively();
    }

    void everyPartGetsTheRoomItNeeds() {
        // The EEPROM grid is drawn at a fixed size; the window must not squeeze it or its neighbours.
        QCOMPARE(panel().eeprom()->size(), panel().eeprom()->sizeHint());
        for (QWidget* part : panel().findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(part->height() >= part->minimumSizeHint().height(), part->metaObject()->className());
            QVERIFY2(part->width() >= part->minimumSizeHint().width(), part->metaObject()->className());
        }
    }

    void digitRecordShowsOnTheDisplay() {
        SevenSegmentDisplay* display = panel().display();
        QCOMPARE(display->text(), QStringLiteral("00000000"));
        QVERIFY(fixture_->WriteDigitRecord({0, 0, 0, 0, 0, 0, 1, 10}));
        QVERIFY(Until([&] { return display->text() == QStringLiteral("0000001A"); }));
        const int fewSegments = LitPixels(*display);
        QVERIFY(fixture_->WriteDigitRecord({8, 8, 8, 8, 8, 8, 8, 8}));
        QVERIFY(Until([&] { return display->text() == QStringLiteral("88888888"); }));
        QVERIFY(LitPixels(*display) > fewSegments);
        QVERIFY(fewSegments > 0);
    }

    void eepromWritesShowInTheGridAndAreMarked() {
        EepromView* grid = panel().eeprom();
        QCOMPARE(grid->contents()[0x10], std::uint8_t{0xFF});  // blank at first
        QVERIFY(fixture_->WriteEepromThroughBus(0x10, {0x48, 0x69, 0x21}));
        QVERIFY(Until([&] { return grid->contents()[0x12] == 0x21; }));
        QCOMPARE(grid->contents()[0x10], std::uint8_t{0x48});
        for (int a = 0x10; a <= 0x12; ++a) QVERIFY(grid->marked(a));
        QVERIFY(!grid->marked(0x0F));
        QVERIFY(!grid->marked(0x13));

        // The mark moves to the newest write; earlier bytes stay shown.
        QVERIFY(board().WriteEeprom(0xFE, {0x01, 0x02}));
        QVERIFY(Until([&] { return grid->marked(0xFF); }));
        QVERIFY(grid->marked(0xFE));
        QVERIFY(!grid->marked(0x10));
        QCOMPARE(grid->contents()[0xFF], std::uint8_t{0x02});
        QCOMPARE(grid->contents()[0x11], std::uint8_t{0x69});
    }

    void keysLightWhileHeld() {
        KeyPad* keys = panel().keys();
        // Mouse: held while the button is down.
        QTest::mousePress(keys->button(2), Qt::LeftButton);
        QCOMPARE(board().HeldKeys(), std::uint8_t{1u << 2});
        QVERIFY(Until([&] { return keys->button(2)->lit(); }));
        QTest::mouseRelease(keys->button(2), Qt::LeftButton);
        QCOMPARE(board().HeldKeys(), std::uint8_t{0});
        QVERIFY(Until([&] { return !keys->button(2)->lit(); }));

        // Keyboard: 5 holds key 4 (lamp 5) until released; two keys at once.
        QTest::keyPress(&panel(), Qt::Key_5);
        QTest::keyPress(&panel(), Qt::Key_1);
        QCOMPARE(board().HeldKeys(), std::uint8_t{(1u << 4) | 1u});
        QVERIFY(Until([&] { return keys->button(4)->lit() && keys->button(0)->lit(); }));
        QTest::keyRelease(&panel(), Qt::Key_5);
        QCOMPARE(board().HeldKeys(), std::uint8_t{1u});
        QTest::keyRelease(&panel(), Qt::Key_1);
        QVERIFY(Until([&] { return !keys->button(4)->lit() && !keys->button(0)->lit(); }));

        // A digit typed into a field is for the field.
        auto* typeValue = panel().findChild<QSpinBox*>(QStringLiteral("typeValue"));
        QVERIFY(typeValue);
        QTest::keyPress(typeValue, Qt::Key_3);
        QCOMPARE(board().HeldKeys(), std::uint8_t{0});
        QTest::keyRelease(typeValue, Qt::Key_3);

        // A key held by someone else lights too.
        board().SetKey(6, true);
        QVERIFY(Until([&] { return keys->button(6)->lit(); }));
        board().SetKey(6, false);
        QVERIFY(Until([&] { return !keys->button(6)->lit(); }));
    }

    void keyboardKeysAreLetGoWhenThePanelLosesFocus() {
        panel().activateWindow();
        if (!QTest::qWaitForWindowActive(&panel())) QSKIP("this platform does not activate windows");
        QTest::keyPress(&panel(), Qt::Key_2);
        QCOMPARE(board().HeldKeys(), std::uint8_t{1u << 1});
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(Until([&] { return board().HeldKeys() == 0; }));
    }

    void plugSwitchFollowsAndSteersTheBoard() {
        auto* plug = panel().findChild<QCheckBox*>(QStringLiteral("plug"));
        QVERIFY(plug && plug->isChecked());
        Tick(plug);
        QVERIFY(!board().Plugged());
        board().Plug();
        QVERIFY(Until([&] { return plug->isChecked(); }));
        board().Unplug();
        QVERIFY(Until([&] { return !plug->isChecked(); }));
        Tick(plug);
        QVERIFY(board().Plugged());
    }

    void closingThePanelUnplugsTheBoard() {
        QVERIFY(board().Plugged());
        QVERIFY(panel().close());
        QVERIFY(!board().Plugged());
    }

    void clockShowsTheBoardsTimeAndSetsIt() {
        ClockBox* clock = panel().clock();
        QCOMPARE(clock->shownTime(), QStringLiteral("12:00:00"));
        board().SetClock({9, 30, 5});
        QVERIFY(Until([&] { return clock->shownTime() == QStringLiteral("09:30:05"); }));

        auto* edit = panel().findChild<QTimeEdit*>(QStringLiteral("clockEdit"));
        auto* set = panel().findChild<QPushButton*>(QStringLiteral("clockSet"));
        QVERIFY(edit && set);
        edit->setTime(QTime(23, 59, 58));
        QTest::mouseClick(set, Qt::LeftButton);
        QCOMPARE(board().Clock(), (ClockTime{23, 59, 58}));
        QVERIFY(Until([&] { return clock->shownTime() == QStringLiteral("23:59:58"); }));

        auto* running = panel().findChild<QCheckBox*>(QStringLiteral("clockRunning"));
        QVERIFY(running && !running->isChecked());
        Tick(running);
        QVERIFY(board().Status().clockRunning);
        // It runs: the shown time moves on (past midnight) without anyone setting it.
        QVERIFY(Until([&] { return clock->shownTime() == QStringLiteral("00:00:00"); }));
        Tick(running);
        QVERIFY(!board().Status().clockRunning);
    }

    void typeByteFollowsAndSteersTheBoard() {
        auto* t21 = panel().findChild<QRadioButton*>(QStringLiteral("type21"));
        auto* t22 = panel().findChild<QRadioButton*>(QStringLiteral("type22"));
        auto* other = panel().findChild<QRadioButton*>(QStringLiteral("typeOther"));
        auto* value = panel().findChild<QSpinBox*>(QStringLiteral("typeValue"));
        QVERIFY(t21 && t22 && other && value);
        QVERIFY(t21->isChecked());
        QTest::mouseClick(t22, Qt::LeftButton);
        QCOMPARE(board().Type(), std::uint8_t{0x22});
        value->setValue(0x5A);
        QCOMPARE(board().Type(), std::uint8_t{0x22});  // not chosen yet
        QTest::mouseClick(other, Qt::LeftButton);
        QCOMPARE(board().Type(), std::uint8_t{0x5A});
        value->setValue(0x00);
        QCOMPARE(board().Type(), std::uint8_t{0x00});

        board().SetType(0x21);
        QVERIFY(Until([&] { return t21->isChecked(); }));
        board().SetType(0xC3);
        QVERIFY(Until([&] { return other->isChecked() && value->value() == 0xC3; }));
    }

    void faultSettingsFollowAndSteerTheBoard() {
        FaultBox* faults = panel().faults();
        Choose(faults->modeBox(Target::Pipe02), QStringLiteral("delay"));
        QCOMPARE(board().Faults().requests[int(Target::Pipe02)], (Fault{FaultMode::Delay, 1000}));
        faults->valueBox(Target::Pipe02)->setValue(250);
        QCOMPARE(board().Faults().requests[int(Target::Pipe02)], (Fault{FaultMode::Delay, 250}));

        // A failure always has an error code: never 0, which would read as success.
        Choose(faults->modeBox(Target::Transfer), QStringLiteral("fail"));
        QCOMPARE(board().Faults().requests[int(Target::Transfer)], (Fault{FaultMode::Fail, 31}));
        faults->valueBox(Target::Transfer)->setValue(0);
        QCOMPARE(board().Faults().requests[int(Target::Transfer)], (Fault{FaultMode::Fail, 1}));

        // "no byte" is offered for the type query only.
        QVERIFY(faults->modeBox(Target::Pipe00)->findText(QStringLiteral("no byte")) < 0);
        Choose(faults->modeBox(Target::Type), QStringLiteral("no byte"));
        QCOMPARE(board().Faults().requests[int(Target::Type)].mode, FaultMode::NoByte);

        faults->pipeOpenBox(2)->setValue(5);
        QCOMPARE(board().Faults().pipeOpenError[2], 5u);
        auto* device = panel().findChild<QSpinBox*>(QStringLiteral("open_device"));
        auto* cancel = panel().findChild<QSpinBox*>(QStringLiteral("cancelDelay"));
        QVERIFY(device && cancel);
        device->setValue(2);
        cancel->setValue(300);
        QCOMPARE(board().Faults().deviceOpenError, 2u);
        QCOMPARE(board().Faults().cancelDelayMs, 300u);

        // Changes from elsewhere show.
        QVERIFY(board().Execute("fault PIPE01 short 3").ok);
        QVERIFY(Until([&] {
            return ShownMode(faults, Target::Pipe01) == FaultMode::Short &&
                   faults->valueBox(Target::Pipe01)->value() == 3;
        }));
        QTest::mouseClick(panel().findChild<QPushButton*>(QStringLiteral("clearFaults")), Qt::LeftButton);
        QCOMPARE(board().Faults(), FaultSet{});
        QVERIFY(Until([&] {
            return ShownMode(faults, Target::Pipe02) == FaultMode::Normal &&
                   ShownMode(faults, Target::Pipe01) == FaultMode::Normal &&
                   faults->pipeOpenBox(2)->value() == 0 && !faults->valueBox(Target::Pipe02)->isEnabled();
        }));
    }

    void trafficLogShowsTheNewestRequestsFirst() {
        TrafficView* log = panel().traffic();
        QVERIFY(fixture_->WriteDigitRecord({1, 2, 3, 4, 5, 6, 7, 8}));
        // Everything the board logged, newest on top (the close may be logged a little later).
        QVERIFY(Until([&] {
            const std::vector<LogEntry> all = board().TrafficLog();
            return !all.empty() && log->topLevelItemCount() == static_cast<int>(all.size()) &&
                   log->topLevelItem(0)->text(0) == QString::number(all.back().sequence) &&
                   log->topLevelItem(log->topLevelItemCount() - 1)->text(0) ==
                       QString::number(all.front().sequence);
        }));
        // The digit record's write on PIPE01 is there, with its 8 bytes.
        bool write = false;
        for (int i = 0; i < log->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = log->topLevelItem(i);
            if (item->text(3) == QStringLiteral("PIPE01") && item->text(4) == QStringLiteral("write") &&
                item->text(8) == QStringLiteral("8"))
                write = true;
        }
        QVERIFY(write);
    }

  private:
    Board& board() { return fixture_->board(); }
    PanelWindow& panel() { return fixture_->panel(); }

    std::optional<PanelFixture> fixture_;
};

}  // namespace vboard::panel::test

int RunPanelTests(int argc, char** argv) {
    vboard::panel::test::PanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "panel_test.moc"
