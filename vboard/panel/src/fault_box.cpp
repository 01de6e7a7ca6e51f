#include "fault_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace vboard::panel {
namespace {

constexpr int kMaxMs = 24 * 60 * 60 * 1000;
constexpr int kMaxError = 0x7FFFFFFF;
constexpr int kMaxShort = 65536;

struct ModeChoice {
    FaultMode mode;
    const char* name;
};
constexpr ModeChoice kModes[] = {
    {FaultMode::Normal, "normal"},  {FaultMode::Immediate, "immediate"}, {FaultMode::Stall, "stall"},
    {FaultMode::Delay, "delay"},    {FaultMode::Fail, "fail"},           {FaultMode::Short, "short"},
    {FaultMode::NoByte, "no byte"}, {FaultMode::Tear, "tear"},
};

bool TakesValue(FaultMode mode) {
    return mode == FaultMode::Delay || mode == FaultMode::Fail || mode == FaultMode::Short ||
           mode == FaultMode::Tear;
}

// Range, suffix and a sensible first value of the value box for a mode.
void ShapeValueBox(QSpinBox* box, FaultMode mode) {
    const QSignalBlocker block(box);
    box->setEnabled(TakesValue(mode));
    switch (mode) {
        case FaultMode::Delay:
            box->setRange(0, kMaxMs);
            box->setSuffix(QStringLiteral(" ms"));
            box->setPrefix(QString());
            break;
        case FaultMode::Fail:
            box->setRange(1, kMaxError);  // error 0 would be a failure that reports success
            box->setSuffix(QString());
            box->setPrefix(QStringLiteral("error "));
            break;
        case FaultMode::Short:
            box->setRange(0, kMaxShort);
            box->setSuffix(QStringLiteral(" bytes"));
            box->setPrefix(QStringLiteral("at most "));
            break;
        case FaultMode::Tear:
            box->setRange(0, kMaxShort);
            box->setSuffix(QStringLiteral(" bytes, then fail"));
            box->setPrefix(QStringLiteral("the first "));
            break;
        default:
            box->setRange(0, 0);
            box->setSuffix(QString());
            box->setPrefix(QString());
            break;
    }
}

int DefaultValue(FaultMode mode) {
    switch (mode) {
        case FaultMode::Delay:
            return 1000;
        case FaultMode::Fail:
            return 31;
        case FaultMode::Short:
        case FaultMode::Tear:
            return 1;
        default:
            return 0;
    }
}

QSpinBox* ErrorBox(QWidget* parent, const QString& name) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, kMaxError);
    box->setSpecialValueText(QObject::tr("opens"));
    box->setPrefix(QStringLiteral("error "));
    box->setKeyboardTracking(false);
    box->setToolTip(QObject::tr("0: the open succeeds; else the Windows error it fails with"));
    return box;
}

}  // namespace

FaultBox::FaultBox(QWidget* parent) : QGroupBox(tr("Faults"), parent) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Requests on"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Mode"), this), 0, 1);
    grid->addWidget(new QLabel(tr("Value"), this), 0, 2);
    for (int t = 0; t < kTargetCount; ++t) {
        const Target target = static_cast<Target>(t);
        const QString name = QString::fromLatin1(TargetName(target));
        auto* mode = new QComboBox(this);
        mode->setObjectName(QStringLiteral("mode_") + name);
        for (const ModeChoice& m : kModes) {
            if (m.mode == FaultMode::NoByte && target != Target::Type) continue;  // the type query only
            if (m.mode == FaultMode::Tear && target != Target::Pipe03) continue;  // EEPROM writes only
            mode->addItem(tr(m.name), static_cast<int>(m.mode));
        }
        auto* value = new QSpinBox(this);
        value->setObjectName(QStringLiteral("value_") + name);
        value->setKeyboardTracking(false);
        ShapeValueBox(value, FaultMode::Normal);
        modes_[t] = mode;
        values_[t] = value;
        grid->addWidget(new QLabel(name, this), t + 1, 0);
        grid->addWidget(mode, t + 1, 1);
        grid->addWidget(value, t + 1, 2);
        connect(mode, &QComboBox::activated, this, [this, t] { ModeChosen(t); });
        connect(value, &QSpinBox::valueChanged, this,
                [this, t] { emit faultRequested(static_cast<Target>(t), FaultOf(t)); });
    }

    int row = kTargetCount + 1;
    grid->addWidget(new QLabel(tr("Opening"), this), row, 0);
    deviceOpen_ = ErrorBox(this, QStringLiteral("open_device"));
    grid->addWidget(new QLabel(tr("device"), this), row, 1, Qt::AlignRight);
    grid->addWidget(deviceOpen_, row++, 2);
    connect(deviceOpen_, &QSpinBox::valueChanged, this,
            [this](int error) { emit deviceOpenErrorRequested(static_cast<std::uint32_t>(error)); });
    for (int p = 0; p < kPipeCount; ++p) {
        const QString name = QString::fromLatin1(TargetName(static_cast<Target>(p)));
        pipeOpen_[p] = ErrorBox(this, QStringLiteral("open_") + name);
        grid->addWidget(new QLabel(name, this), row, 1, Qt::AlignRight);
        grid->addWidget(pipeOpen_[p], row++, 2);
        connect(pipeOpen_[p], &QSpinBox::valueChanged, this,
                [this, p](int error) { emit pipeOpenErrorRequested(p, static_cast<std::uint32_t>(error)); });
    }

    cancelDelay_ = new QSpinBox(this);
    cancelDelay_->setObjectName(QStringLiteral("cancelDelay"));
    cancelDelay_->setRange(0, kMaxMs);
    cancelDelay_->setSuffix(QStringLiteral(" ms"));
    cancelDelay_->setKeyboardTracking(false);
    cancelDelay_->setToolTip(tr("Time from a cancel to the request's end with 995"));
    grid->addWidget(new QLabel(tr("Cancel answers after"), this), row, 0, 1, 2);
    grid->addWidget(cancelDelay_, row++, 2);
    connect(cancelDelay_, &QSpinBox::valueChanged, this,
            [this](int ms) { emit cancelDelayRequested(static_cast<std::uint32_t>(ms)); });

    auto* clear = new QPushButton(tr("Clear all faults"), this);
    clear->setObjectName(QStringLiteral("clearFaults"));
    grid->addWidget(clear, row, 0, 1, 3, Qt::AlignLeft);
    connect(clear, &QPushButton::clicked, this, &FaultBox::clearRequested);
    grid->setColumnStretch(2, 1);
}

Fault FaultBox::FaultOf(int target) const {
    Fault fault;
    fault.mode = static_cast<FaultMode>(modes_[target]->currentData().toInt());
    fault.value = TakesValue(fault.mode) ? static_cast<std::uint32_t>(values_[target]->value()) : 0;
    return fault;
}

void FaultBox::ModeChosen(int target) {
    const auto mode = static_cast<FaultMode>(modes_[target]->currentData().toInt());
    ShapeValueBox(values_[target], mode);
    {
        const QSignalBlocker block(values_[target]);
        values_[target]->setValue(DefaultValue(mode));
    }
    emit faultRequested(static_cast<Target>(target), FaultOf(target));
}

void FaultBox::ShowFault(int target, const Fault& fault) {
    QComboBox* mode = modes_[target];
    const int index = mode->findData(static_cast<int>(fault.mode));
    {
        const QSignalBlocker block(mode);
        mode->setCurrentIndex(index < 0 ? 0 : index);
    }
    ShapeValueBox(values_[target], fault.mode);
    const QSignalBlocker block(values_[target]);
    // Values past the box's range (set from the command line) show clamped; the board keeps its own.
    values_[target]->setValue(static_cast<int>(std::min<std::uint32_t>(fault.value, kMaxError)));
}

void FaultBox::SetFaults(const FaultSet& faults) {
    for (int t = 0; t < kTargetCount; ++t) ShowFault(t, faults.requests[t]);
    auto show = [](QSpinBox* box, std::uint32_t value) {
        const QSignalBlocker block(box);
        box->setValue(static_cast<int>(std::min<std::uint32_t>(value, kMaxError)));
    };
    for (int p = 0; p < kPipeCount; ++p) show(pipeOpen_[p], faults.pipeOpenError[p]);
    show(deviceOpen_, faults.deviceOpenError);
    show(cancelDelay_, faults.cancelDelayMs);
}

}  // namespace vboard::panel
