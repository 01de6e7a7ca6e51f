#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include "layout_table.h"

std::vector<std::string> TextsWiderThanTheirControls(const QWidget& dialog) {
    std::vector<std::string> wide;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        const QFontMetrics metrics(label->font());
        for (const QString& line : label->text().split('\n')) {
            const int width = metrics.horizontalAdvance(line);
            if (width > label->contentsRect().width())
                wide.push_back(line.toStdString() + " (" + std::to_string(width) + " px > " +
                               std::to_string(label->contentsRect().width()) + " px)");
        }
    }
    return wide;
}
