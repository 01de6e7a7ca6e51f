#include "varnel_app.h"

#include "tool_shell.h"
#include "varnel_dlg.h"

BEGIN_MESSAGE_MAP(CVarnelApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CVarnelApp::CVarnelApp() = default;

BOOL CVarnelApp::InitInstance() {
    CVarnelDlg dlg;
    return RunToolDialog(*this, dlg);
}

CVarnelApp theApp;
