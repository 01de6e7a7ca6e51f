// The board's plug and its board-type byte.
#pragma once

#include <QGroupBox>
#include <cstdint>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace vboard::panel {

class SettingsBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit SettingsBox(QWidget* parent = nullptr);

    void SetPlugged(bool plugged);
    void SetType(std::uint8_t type);
    void SetDescription(const QString& text);  // slot and device path

    bool plugged() const;
    std::uint8_t type() const;

  signals:
    void plugRequested(bool plugged);
    void typeRequested(std::uint8_t type);

  private:
    void EmitType();

    QCheckBox* plug_;
    QRadioButton* type21_;
    QRadioButton* type22_;
    QRadioButton* typeOther_;
    QSpinBox* other_;
    QLabel* description_;
};

}  // namespace vboard::panel
