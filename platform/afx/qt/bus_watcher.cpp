#include "bus_watcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vbus/bus_dir.h>
#include <winapi_standin.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <set>
#include <string_view>
#include <utility>

#include "modal_stack.h"

namespace afx::qt {

namespace {

// The boards detection can find on a bus: slot and state file (by inode, which every
// replacement renews) of each board whose socket is there and whose state is "plugged".
using BusPicture = std::set<std::pair<int, ino_t>>;

// The inode and the text of one state file, both of the same file: the one opened. (A stat of
// the name and a read after it could see the old file's inode and the new file's text when a
// board replaces it in between; the next look then saw the new inode, and one plug became two
// device changes.)
bool PluggedState(const std::string& path, ino_t& inode) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat info {};
    char text[16] = {};
    const bool read = ::fstat(fd, &info) == 0 && ::read(fd, text, sizeof text - 1) >= 0;
    ::close(fd);
    inode = info.st_ino;
    return read && std::string_view(text).substr(0, std::string_view(text).find('\n')) == "plugged";
}

BusPicture PictureOf(const std::string& dir) {
    BusPicture picture;
    for (int slot : vbus::ListSlots(dir)) {
        ino_t inode = 0;
        if (PluggedState(vbus::StatePath(dir, slot), inode)) picture.insert({slot, inode});
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
