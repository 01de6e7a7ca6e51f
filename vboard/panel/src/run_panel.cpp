#include <QApplication>

#include "quit_signals.h"
#include "vboard_panel/panel.h"

namespace vboard::panel {

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
