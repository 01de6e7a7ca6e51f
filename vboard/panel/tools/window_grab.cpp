// window_grab: saves a PNG of one window of the X display, found by its id or its title.
//
//   window_grab (--id 0x400007 | --window TITLE) FILE.png
//
// Grabs what the X server shows of the window, so it works without a window manager (no frame).
// Exit status: 0 saved, 1 no such window or nothing saved, 2 usage.
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <cstdio>

namespace {

// The id of the first window whose title is `title`, from `xwininfo -root -tree`.
WId FindByTitle(const QString& title) {
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    if (!xwininfo.waitForFinished(10000)) return 0;
    const QString quoted = QLatin1Char('"') + title + QLatin1Char('"');
    for (const QString& line : QString::fromLocal8Bit(xwininfo.readAllStandardOutput()).split('\n')) {
        if (!line.contains(quoted)) continue;
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^\\s*(0x[0-9a-fA-F]+)")).match(line);
        if (m.hasMatch()) return m.captured(1).toULongLong(nullptr, 16);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || (args[1] != QLatin1String("--id") && args[1] != QLatin1String("--window"))) {
        std::fprintf(stderr, "usage: window_grab (--id ID | --window TITLE) FILE.png\n");
        return 2;
    }
    const WId id = args[1] == QLatin1String("--id") ? args[2].toULongLong(nullptr, 0) : FindByTitle(args[2]);
    if (id == 0) {
        std::fprintf(stderr, "window_grab: no window %s\n", qPrintable(args[2]));
        return 1;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(id);
    if (shot.isNull() || !shot.save(args[3], "PNG")) {
        std::fprintf(stderr, "window_grab: cannot save %s\n", qPrintable(args[3]));
        return 1;
    }
    return 0;
}
