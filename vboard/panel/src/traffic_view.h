// The board's traffic log, newest request first.
#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <vector>

#include "vboard/types.h"

namespace vboard::panel {

class TrafficView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit TrafficView(QWidget* parent = nullptr, int capacity = 500);

    // Adds entries (oldest first) on top; entries already shown (by sequence number) are skipped,
    // so the log read at start and the notifications that overlap it can both be added.
    void Add(const std::vector<LogEntry>& entries);

    static QStringList Columns(const LogEntry& entry);
    static QString ErrorText(std::uint32_t error);

    QSize sizeHint() const override;

  private:
    int capacity_;
    std::uint64_t lastSequence_ = 0;
    bool any_ = false;
};

}  // namespace vboard::panel
