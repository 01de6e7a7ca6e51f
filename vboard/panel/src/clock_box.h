// The board's clock: shows it as it runs, sets it, stops and restarts it.
#pragma once

#include <QGroupBox>

#include "vboard/types.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace vboard::panel {

class ClockBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit ClockBox(QWidget* parent = nullptr);

    void SetClock(const ClockTime& time);
    void SetRunning(bool running);
    QString shownTime() const;

  signals:
    void setRequested(const vboard::ClockTime& time);
    void runningRequested(bool running);

  private:
    QLabel* time_;
    QTimeEdit* edit_;
    QPushButton* set_;
    QCheckBox* running_;
    bool editPrimed_ = false;
};

}  // namespace vboard::panel
