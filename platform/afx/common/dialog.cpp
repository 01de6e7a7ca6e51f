// CDialog: modal dialogs from templates.
#include <afx_wnd.h>

#include "backend.h"

namespace be = afx::backend;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : templateId_(nIDTemplate), parent_(pParentWnd) {}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal() {
    const afx::DialogTemplate* tmpl = afx::FindDialog(static_cast<int>(templateId_));
    if (!tmpl) return -1;
    return be::RunModal(*this, *tmpl);
}

void CDialog::EndDialog(int nResult) {
    be::CallOnWindowThread(GetSafeHwnd(), [&] { be::EndModal(GetSafeHwnd(), nResult); });
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
