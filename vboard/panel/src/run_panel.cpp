#include <QApplication>
#include <algorithm>

#include "quit_signals.h"
#include "vboard_panel/panel.h"

namespace vboard::panel {

bool TakePanelOption(std::vector<std::string>& args) {
    // The command word comes after the leading options (only `--slot N` takes a value).
    std::size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) i += args[i] == "--slot" ? 2 : 1;
    if (i >= args.size() || args[i] != "run") return false;
    auto panel = std::find(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end(), "--panel");
    if (panel == args.end()) return false;
    args.erase(panel);
    return true;
}

int RunPanel(Board& board) {
    static int argc = 1;
    static char name[] = "vboard";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vboard"));
    std::unique_ptr<QWidget> window = CreatePanelWindow(board);
    CloseOnTerminationRequest(window.get());
    window->resize(window->sizeHint());  // room for the traffic log too
    window->show();
    return QApplication::exec();
}

}  // namespace vboard::panel
