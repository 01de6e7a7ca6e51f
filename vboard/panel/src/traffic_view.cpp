#include "traffic_view.h"

#include <QFontDatabase>
#include <QHeaderView>

namespace vboard::panel {
namespace {
enum Column { kSeq, kTime, kHandle, kTarget, kOp, kId, kCode, kAsked, kMoved, kError, kStatus, kColumnCount };
}

TrafficView::TrafficView(QWidget* parent, int capacity) : QTreeWidget(parent), capacity_(capacity) {
    setObjectName(QStringLiteral("traffic"));
    setColumnCount(kColumnCount);
    setHeaderLabels({tr("#"), tr("time s"), tr("handle"), tr("target"), tr("op"), tr("id"), tr("code"),
                     tr("asked"), tr("moved"), tr("error"), tr("status")});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    // Widths for typical values; the error column also names the common errors.
    const QFontMetrics fm(font());
    const int widths[kColumnCount] = {7, 9, 6, 9, 7, 6, 11, 6, 6, 17, 10};
    for (int c = 0; c < kColumnCount; ++c)
        setColumnWidth(c, fm.horizontalAdvance(QLatin1Char('0')) * widths[c] + 12);
}

QSize TrafficView::sizeHint() const { return {QTreeWidget::sizeHint().width(), 180}; }

QString TrafficView::ErrorText(std::uint32_t error) {
    const char* name = nullptr;
    switch (error) {
        case 0:
            return QStringLiteral("0");
        case 1:
            name = "bad function";
            break;
        case 2:
            name = "not found";
            break;
        case 31:
            name = "device fault";
            break;
        case 87:
            name = "bad parameter";
            break;
        case 995:
            name = "cancelled";
            break;
        case 997:
            name = "pending";
            break;
        case 1167:
            name = "not connected";
            break;
        default:
            break;
    }
    return name ? QStringLiteral("%1 %2").arg(error).arg(QLatin1String(name)) : QString::number(error);
}

QStringList TrafficView::Columns(const LogEntry& e) {
    const bool transfer = e.op == LogOp::Read || e.op == LogOp::Write || e.op == LogOp::Ioctl;
    const bool request = transfer || e.op == LogOp::Cancel;
    QString status;
    switch (e.status) {
        case LogStatus::Immediate:
            status = QStringLiteral("immediate");
            break;
        case LogStatus::Pending:
            status = QStringLiteral("pending");
            break;
        case LogStatus::Completed:
            status = QStringLiteral("completed");
            break;
    }
    return {QString::number(e.sequence),
            QStringLiteral("%1.%2").arg(e.timeMs / 1000).arg(e.timeMs % 1000, 3, 10, QLatin1Char('0')),
            QString::number(e.handle),
            QString::fromStdString(e.target),
            QString::fromLatin1(LogOpName(e.op)),
            request ? QString::number(e.requestId) : QString(),
            e.op == LogOp::Ioctl ? QStringLiteral("0x%1").arg(e.code, 0, 16) : QString(),
            transfer ? QString::number(e.asked) : QString(),
            transfer ? QString::number(e.moved) : QString(),
            ErrorText(e.error),
            status};
}

void TrafficView::Add(const std::vector<LogEntry>& entries) {
    QList<QTreeWidgetItem*> items;
    for (const LogEntry& e : entries) {
        if (any_ && e.sequence <= lastSequence_) continue;
        any_ = true;
        lastSequence_ = e.sequence;
        auto* item = new QTreeWidgetItem(Columns(e));
        item->setToolTip(kTarget, QString::fromStdString(FormatLogEntry(e)));
        if (e.error != 0 && e.status != LogStatus::Pending)
            item->setForeground(kError, QColor(0xb0, 0x00, 0x00));
        items.prepend(item);
    }
    if (items.size() > capacity_) {
        qDeleteAll(items.begin() + capacity_, items.end());
        items.erase(items.begin() + capacity_, items.end());
    }
    insertTopLevelItems(0, items);
    while (topLevelItemCount() > capacity_) delete takeTopLevelItem(topLevelItemCount() - 1);
}

}  // namespace vboard::panel
