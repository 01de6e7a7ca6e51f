#include "clock_box.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>

namespace vboard::panel {

ClockBox::ClockBox(QWidget* parent) : QGroupBox(tr("Clock"), parent) {
    time_ = new QLabel(QStringLiteral("00:00:00"), this);
    time_->setObjectName(QStringLiteral("clockTime"));
    QFont big = time_->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    time_->setFont(big);
    time_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    edit_ = new QTimeEdit(this);
    edit_->setObjectName(QStringLiteral("clockEdit"));
    edit_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    set_ = new QPushButton(tr("Set"), this);
    set_->setObjectName(QStringLiteral("clockSet"));
    set_->setToolTip(tr("Set the board's clock to this time"));
    running_ = new QCheckBox(tr("Running"), this);
    running_->setObjectName(QStringLiteral("clockRunning"));
    running_->setToolTip(tr("Untick to stop the clock; it keeps its time until ticked again"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(time_, 0, 0, 1, 2);
    grid->addWidget(running_, 0, 2);
    grid->addWidget(edit_, 1, 0);
    grid->addWidget(set_, 1, 1);
    grid->setColumnStretch(2, 1);

    connect(set_, &QPushButton::clicked, this, [this] {
        const QTime t = edit_->time();
        emit setRequested(ClockTime{t.hour(), t.minute(), t.second()});
    });
    connect(running_, &QCheckBox::toggled, this, &ClockBox::runningRequested);
}

void ClockBox::SetClock(const ClockTime& time) {
    if (!editPrimed_) {  // the field starts at the board's time, for small corrections
        edit_->setTime(QTime(time.hours, time.minutes, time.seconds));
        editPrimed_ = true;
    }
    time_->setText(QString::fromStdString(FormatClockTime(time)));
}

void ClockBox::SetRunning(bool running) {
    const QSignalBlocker block(running_);
    running_->setChecked(running);
}

QString ClockBox::shownTime() const { return time_->text(); }

}  // namespace vboard::panel
