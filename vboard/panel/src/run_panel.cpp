#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <iostream>
#include <sstream>

#include "quit_signals.h"
#include "cli.h"
#include "vboard_panel/panel.h"
#include "vbus/bus_dir.h"

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

void ShowStartFailure(const std::string& text) {
    static int argc = 1;
    static char name[] = "vboard";
    static char* argv[] = {name, nullptr};
    std::unique_ptr<QApplication> own;
    if (!QApplication::instance()) own = std::make_unique<QApplication>(argc, argv);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Virtual Board"), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

int RunPanelProgram(std::vector<std::string> args) {
    const auto option = std::find(args.begin(), args.end(), "--message-box");
    const bool messageBox = option != args.end();
    if (messageBox) args.erase(option);
    std::ostringstream errors;
    CliContext context{vbus::DefaultBusDirectory(), std::cout, errors, [](Board& board) { RunPanel(board); }};
    // The panel's window ends the run; a board that ends by itself closes it.
    context.endWait = [] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [] { QApplication::quit(); }, Qt::QueuedConnection);
    };
    const int status = RunCommandLine(args, context);
    std::cerr << errors.str();
    if (messageBox && status != 0 && !errors.str().empty()) ShowStartFailure(errors.str());
    return status;
}

}  // namespace vboard::panel
