// Varnel's application object: runs the main dialog and ends the program with it.
#pragma once

#include <afxwin.h>

class CVarnelApp : public CWinApp {
  public:
    CVarnelApp();
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
