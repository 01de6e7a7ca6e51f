#include "settings_box.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace vboard::panel {

SettingsBox::SettingsBox(QWidget* parent) : QGroupBox(tr("Board"), parent) {
    plug_ = new QCheckBox(tr("Plugged in"), this);
    plug_->setObjectName(QStringLiteral("plug"));
    plug_->setToolTip(
        tr("Untick to pull the board from the bus: pending requests end with 1167 and "
           "open handles die"));
    type21_ = new QRadioButton(QStringLiteral("0x21"), this);
    type21_->setObjectName(QStringLiteral("type21"));
    type22_ = new QRadioButton(QStringLiteral("0x22"), this);
    type22_->setObjectName(QStringLiteral("type22"));
    typeOther_ = new QRadioButton(tr("other:"), this);
    typeOther_->setObjectName(QStringLiteral("typeOther"));
    other_ = new QSpinBox(this);
    other_->setObjectName(QStringLiteral("typeValue"));
    other_->setRange(0, 255);
    other_->setDisplayIntegerBase(16);
    other_->setPrefix(QStringLiteral("0x"));
    other_->setValue(0x23);
    other_->setKeyboardTracking(false);
    auto* group = new QButtonGroup(this);
    for (QRadioButton* b : {type21_, type22_, typeOther_}) group->addButton(b);
    description_ = new QLabel(this);
    description_->setObjectName(QStringLiteral("description"));
    description_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    description_->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(plug_, 0, 0, 1, 5);
    grid->addWidget(new QLabel(tr("Board type:"), this), 1, 0);
    grid->addWidget(type21_, 1, 1);
    grid->addWidget(type22_, 1, 2);
    grid->addWidget(typeOther_, 1, 3);
    grid->addWidget(other_, 1, 4);
    grid->addWidget(description_, 2, 0, 1, 5);
    grid->setColumnStretch(5, 1);

    connect(plug_, &QCheckBox::toggled, this, &SettingsBox::plugRequested);
    for (QRadioButton* b : {type21_, type22_, typeOther_})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on) EmitType();
        });
    connect(other_, &QSpinBox::valueChanged, this, [this] {
        if (typeOther_->isChecked()) EmitType();
    });
}

void SettingsBox::EmitType() { emit typeRequested(type()); }

std::uint8_t SettingsBox::type() const {
    if (type21_->isChecked()) return 0x21;
    if (type22_->isChecked()) return 0x22;
    return static_cast<std::uint8_t>(other_->value());
}

bool SettingsBox::plugged() const { return plug_->isChecked(); }

void SettingsBox::SetPlugged(bool plugged) {
    const QSignalBlocker block(plug_);
    plug_->setChecked(plugged);
}

void SettingsBox::SetType(std::uint8_t type) {
    const QSignalBlocker b1(type21_), b2(type22_), b3(typeOther_), b4(other_);
    if (type == 0x21) {
        type21_->setChecked(true);
    } else if (type == 0x22) {
        type22_->setChecked(true);
    } else {
        typeOther_->setChecked(true);
        other_->setValue(type);
    }
}

void SettingsBox::SetDescription(const QString& text) { description_->setText(text); }

}  // namespace vboard::panel
