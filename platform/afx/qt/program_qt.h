// Qt-backend internals shared between its files.
#pragma once

#include <functional>

class CDialog;
class QApplication;

namespace afx::qt {

void InstallLook();                 // style and fonts, once per application
QApplication* EnsureApplication();  // the running QApplication, made if there is none
void SetShownCallback(std::function<void(CDialog&)> fn);

}  // namespace afx::qt
