// The board's fault settings: a mode and value per pipe and control code, open errors for the
// device and each pipe, and the delay of a cancel's answer.
#pragma once

#include <QGroupBox>
#include <array>
#include <cstdint>

#include "vboard/types.h"

class QComboBox;
class QSpinBox;

namespace vboard::panel {

class FaultBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit FaultBox(QWidget* parent = nullptr);

    // Shows the board's settings (without emitting anything).
    void SetFaults(const FaultSet& faults);

    QComboBox* modeBox(Target target) const { return modes_[static_cast<int>(target)]; }
    QSpinBox* valueBox(Target target) const { return values_[static_cast<int>(target)]; }
    QSpinBox* pipeOpenBox(int pipe) const { return pipeOpen_[pipe]; }

  signals:
    void faultRequested(vboard::Target target, const vboard::Fault& fault);
    void pipeOpenErrorRequested(int pipe, std::uint32_t error);
    void deviceOpenErrorRequested(std::uint32_t error);
    void cancelDelayRequested(std::uint32_t ms);
    void clearRequested();

  private:
    void ModeChosen(int target);
    void ShowFault(int target, const Fault& fault);
    Fault FaultOf(int target) const;

    std::array<QComboBox*, kTargetCount> modes_{};
    std::array<QSpinBox*, kTargetCount> values_{};
    std::array<QSpinBox*, kPipeCount> pipeOpen_{};
    QSpinBox* deviceOpen_ = nullptr;
    QSpinBox* cancelDelay_ = nullptr;
};

}  // namespace vboard::panel
