// The Tesmor program: one application object whose start-up runs the main dialog.
#include <afxwin.h>

#include "tesmor_dlg.h"

class CTesmorApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        CTesmorDlg dlg;
        return RunToolDialog(*this, dlg);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTesmorApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CTesmorApp theApp;
