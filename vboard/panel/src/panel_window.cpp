#include "panel_window.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "board_bridge.h"
#include "clock_box.h"
#include "eeprom_view.h"
#include "fault_box.h"
#include "key_pad.h"
#include "settings_box.h"
#include "seven_segment.h"
#include "traffic_view.h"
#include "vboard_panel/panel.h"

namespace vboard::panel {
namespace {

constexpr std::size_t kLogShownAtStart = 200;

QGroupBox* Group(const QString& title, QWidget* content, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

}  // namespace

PanelWindow::PanelWindow(Board& board, QWidget* parent)
    : QWidget(parent),
      board_(board),
      // First the bridge, then the first look at the board: a change in between shows twice, none
      // is missed.
      bridge_(new BoardBridge(board, this)),
      display_(new SevenSegmentDisplay(this)),
      keys_(new KeyPad(this)),
      clock_(new ClockBox(this)),
      eeprom_(new EepromView(this)),
      settings_(new SettingsBox(this)),
      faults_(new FaultBox(this)),
      traffic_(new TrafficView(this)) {
    setObjectName(QStringLiteral("vboardPanel"));
    setWindowTitle(tr("Virtual board %1").arg(board.Slot()));
    display_->setObjectName(QStringLiteral("display"));
    eeprom_->setObjectName(QStringLiteral("eeprom"));

    auto* keyHint =
        new QLabel(tr("Hold a key with the mouse, or with the keys 1 to 8 of the keyboard."), this);
    keyHint->setWordWrap(true);
    auto* keyBox = new QGroupBox(tr("Keys"), this);
    auto* keyLayout = new QVBoxLayout(keyBox);
    keyLayout->addWidget(keys_);
    keyLayout->addWidget(keyHint);

    // Two columns of parts, the traffic log across the bottom.
    auto* left = new QVBoxLayout;
    left->addWidget(Group(tr("Display"), display_, this));
    left->addWidget(keyBox);
    left->addWidget(Group(tr("EEPROM (last write marked)"), eeprom_, this));
    left->addWidget(clock_);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(settings_);
    right->addWidget(faults_);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* all = new QVBoxLayout(this);
    all->addLayout(columns);
    all->addWidget(Group(tr("Traffic log (newest first)"), traffic_, this), 1);

    Connect();
    ShowBoard();
    qApp->installEventFilter(this);
}

PanelWindow::~PanelWindow() { qApp->removeEventFilter(this); }

void PanelWindow::Connect() {
    connect(bridge_, &BoardBridge::displayChanged, display_, &SevenSegmentDisplay::SetDigits);
    connect(bridge_, &BoardBridge::eepromChanged, this, [this](int offset, int length) {
        eeprom_->SetContents(board_.EepromContents());
        eeprom_->MarkWrite(offset, length);
    });
    connect(bridge_, &BoardBridge::keysChanged, keys_, &KeyPad::SetHeld);
    connect(bridge_, &BoardBridge::clockChanged, this, [this](const ClockTime& time) {
        clock_->SetClock(time);
        clock_->SetRunning(board_.Status().clockRunning);
    });
    connect(bridge_, &BoardBridge::plugChanged, settings_, &SettingsBox::SetPlugged);
    connect(bridge_, &BoardBridge::typeChanged, settings_, &SettingsBox::SetType);
    connect(bridge_, &BoardBridge::faultsChanged, faults_, &FaultBox::SetFaults);
    connect(bridge_, &BoardBridge::traffic, traffic_, &TrafficView::Add);

    connect(keys_, &KeyPad::keyChanged, this, [this](int key, bool down) { board_.SetKey(key, down); });
    connect(clock_, &ClockBox::setRequested, this, [this](const ClockTime& t) { board_.SetClock(t); });
    connect(clock_, &ClockBox::runningRequested, this,
            [this](bool running) { board_.SetClockRunning(running); });
    connect(settings_, &SettingsBox::plugRequested, this, [this](bool plugged) {
        if (plugged)
            board_.Plug();
        else
            board_.Unplug();
    });
    connect(settings_, &SettingsBox::typeRequested, this,
            [this](std::uint8_t type) { board_.SetType(type); });
    connect(faults_, &FaultBox::faultRequested, this,
            [this](Target target, const Fault& fault) { board_.SetFault(target, fault); });
    connect(faults_, &FaultBox::pipeOpenErrorRequested, this,
            [this](int pipe, std::uint32_t error) { board_.SetPipeOpenError(pipe, error); });
    connect(faults_, &FaultBox::deviceOpenErrorRequested, this,
            [this](std::uint32_t error) { board_.SetDeviceOpenError(error); });
    connect(faults_, &FaultBox::cancelDelayRequested, this,
            [this](std::uint32_t ms) { board_.SetCancelDelay(ms); });
    connect(faults_, &FaultBox::clearRequested, this, [this] { board_.ClearFaults(); });
}

void PanelWindow::ShowBoard() {
    const BoardStatus s = board_.Status();
    display_->SetDigits(s.display);
    keys_->SetHeld(s.heldKeys);
    clock_->SetClock(s.clock);
    clock_->SetRunning(s.clockRunning);
    eeprom_->SetContents(board_.EepromContents());
    settings_->SetPlugged(s.plugged);
    settings_->SetType(s.type);
    // Long paths may break after their separators.
    auto breakable = [](const std::string& text) {
        QString out = QString::fromStdString(text);
        for (const QString sep : {QStringLiteral("#"), QStringLiteral("/"), QStringLiteral("\\")})
            out.replace(sep, sep + QChar(0x200B));
        return out;
    };
    settings_->SetDescription(
        tr("Slot %1 of %2\nDevice path %3\nEEPROM file %4")
            .arg(s.slot)
            .arg(breakable(board_.BusDirectory()), breakable(s.devicePath), breakable(s.eepromFile)));
    faults_->SetFaults(s.faults);
    traffic_->Add(board_.TrafficLog(kLogShownAtStart));
}

void PanelWindow::closeEvent(QCloseEvent* event) {
    // Closing the panel pulls the board, as pulling the cable would.
    ReleaseKeyboardKeys();
    board_.Unplug();
    event->accept();
}

bool PanelWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) ReleaseKeyboardKeys();
    return QWidget::event(event);
}

bool PanelWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    // Digits typed into a field are for the field.
    if (qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QLineEdit*>(widget)) return false;
    return KeyboardKey(event);
}

bool PanelWindow::KeyboardKey(QEvent* event) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() < Qt::Key_1 || key->key() > Qt::Key_8) return false;
    if (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) return false;
    if (key->isAutoRepeat()) return true;  // held, nothing new
    const int k = key->key() - Qt::Key_1;
    const bool down = event->type() == QEvent::KeyPress;
    const auto bit = static_cast<std::uint8_t>(1u << k);
    if (down == bool(keyboardHeld_ & bit)) return true;
    keyboardHeld_ = down ? keyboardHeld_ | bit : keyboardHeld_ & ~bit;
    board_.SetKey(k, down);
    return true;
}

void PanelWindow::ReleaseKeyboardKeys() {
    for (int k = 0; k < kKeyCount; ++k)
        if (keyboardHeld_ & (1u << k)) board_.SetKey(k, false);
    keyboardHeld_ = 0;
}

std::unique_ptr<QWidget> CreatePanelWindow(Board& board) { return std::make_unique<PanelWindow>(board); }

}  // namespace vboard::panel
