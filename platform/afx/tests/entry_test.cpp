// A program on the framework's entry point: the single CWinApp's InitInstance
// runs once, a dialog runs modally in it, and returning FALSE ends the program
// with ExitInstance()'s code (0 here only when every check held).
#include <afx_testing.h>

#include <cstdio>

#include "test_dialog.h"

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "entry test: %s\n", what);
        ++g_failures;
    }
}

class CEntryApp : public CWinApp {
  public:
    BOOL InitInstance() override {
        ++initCalls;
        AfxEnableControlContainer();
        Check(Enable3dControls() == TRUE, "Enable3dControls");
        Check(AfxGetApp() == this, "AfxGetApp names the application object");
        Check(LoadIcon(afx_test::kIcon) != nullptr, "icon 128 loads");

        CTestDlg dlg;
        m_pMainWnd = &dlg;
        afx::testing::OnNextDialogShown([](CDialog& d) {
            // An unhandled command reaches the application's map.
            d.SendMessage(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0);
            d.EndDialog(IDOK);
        });
        Check(dlg.DoModal() == IDOK, "DoModal returns the EndDialog value");
        Check(helpCalls == 1, "ID_HELP routed to the application");
        m_pMainWnd = nullptr;
        return FALSE;
    }
    int ExitInstance() override { return (g_failures == 0 && initCalls == 1) ? 0 : 1; }

    afx_msg void OnHelpCommand() { ++helpCalls; }

    int initCalls = 0;
    int helpCalls = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CEntryApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelpCommand)
END_MESSAGE_MAP()

CEntryApp theApp;

}  // namespace
