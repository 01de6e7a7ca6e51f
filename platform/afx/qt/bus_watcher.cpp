#include "bus_watcher.h"

#include <sys/stat.h>
#include <vbus/bus_dir.h>
#include <winapi_standin.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <fstream>
#include <set>
#include <utility>

#include "modal_stack.h"

namespace afx::qt {

namespace {

// The boards detection can find on a bus: slot and state file (by inode, which every
// replacement renews) of each board whose socket is there and whose state is "plugged".
using BusPicture = std::set<std::pair<int, ino_t>>;

BusPicture PictureOf(const std::string& dir) {
    BusPicture picture;
    for (int slot : vbus::ListSlots(dir)) {
        const std::string state = vbus::StatePath(dir, slot);
        struct stat info {};
        if (::stat(state.c_str(), &info) != 0) continue;
        std::ifstream file(state);
        std::string line;
        if (std::getline(file, line) && line == "plugged") picture.insert({slot, info.st_ino});
    }
    return picture;
}

// The picture at the last device change (or when watching began).
BusPicture& LastPicture() {
    static BusPicture picture;
    return picture;
}

}  // namespace

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
                             // A board writes its files in steps (a temporary file renamed over
                             // its state file, its socket, its TCP endpoint), each of which the
                             // directory reports; a device change is a change of the boards
                             // detection can find, one notification for each, as on Windows.
                             BusPicture now = PictureOf(changed.toStdString());
                             if (now == LastPicture()) return;
                             LastPicture() = std::move(now);
                             BroadcastDeviceChange();
                         });
    }
    if (watcher->directories() == QStringList{dir}) return;
    if (!watcher->directories().isEmpty()) watcher->removePaths(watcher->directories());
    vbus::EnsureBusDirectory(dir.toStdString());
    watcher->addPath(dir);
    LastPicture() = PictureOf(dir.toStdString());
}

void BroadcastDeviceChange() {
    for (HWND dialog : OpenDialogs()) DeliverToDialog(dialog, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

}  // namespace afx::qt
