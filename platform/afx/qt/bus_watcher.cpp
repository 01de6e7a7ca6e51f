#include "bus_watcher.h"

#include <vbus/bus_dir.h>
#include <winapi_standin.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>

#include "modal_stack.h"

namespace afx::qt {

QString BusDirectory() { return QString::fromStdString(standin::BusDirectory()); }

// Watches the directory the Windows-API stand-in uses at the time a dialog
// opens; follows it when it has changed since (tests move it).
void StartBusWatcher() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    const QString dir = BusDirectory();
    auto* watcher =
        app->findChild<QFileSystemWatcher*>(QStringLiteral("afx-bus-watcher"), Qt::FindDirectChildrenOnly);
    if (!watcher) {
        watcher = new QFileSystemWatcher(app);
        watcher->setObjectName(QStringLiteral("afx-bus-watcher"));
        QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, app,
                         [watcher](const QString& changed) {
                             // A directory removed and made again is no longer watched: take it up again.
                             if (!watcher->directories().contains(changed) && QDir(changed).exists())
                                 watcher->addPath(changed);
                             BroadcastDeviceChange();
                         });
    }
    if (watcher->directories() == QStringList{dir}) return;
    if (!watcher->directories().isEmpty()) watcher->removePaths(watcher->directories());
    vbus::EnsureBusDirectory(dir.toStdString());
    watcher->addPath(dir);
}

void BroadcastDeviceChange() {
    for (HWND dialog : OpenDialogs()) DeliverToDialog(dialog, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

}  // namespace afx::qt
