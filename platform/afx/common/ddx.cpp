// Dialog data exchange for text and integer fields.
#include <afx_wnd.h>

#include <climits>
#include <optional>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Optional blanks, an optional sign, one or more decimal digits, optional
// blanks. Values past the int range saturate.
std::optional<int> ParseDecimal(const CString& text) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    if (*p < '0' || *p > '9') return std::nullopt;
    long long magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (magnitude <= static_cast<long long>(INT_MAX) + 1) magnitude = magnitude * 10 + (*p - '0');
    while (IsBlank(*p)) ++p;
    if (*p) return std::nullopt;
    long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    CWnd* control = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        control->GetWindowText(value);
        return;
    }
    CString current;
    control->GetWindowText(current);
    if (current != value) control->SetWindowText(value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    CWnd* control = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (!control) return;
    if (pDX->m_bSaveAndValidate) {
        CString text;
        control->GetWindowText(text);
        if (std::optional<int> parsed = ParseDecimal(text)) {
            value = *parsed;
            control->heldInteger_ = false;
        } else {
            pDX->m_bFailed = true;
            control->heldInteger_ = true;
            control->heldValue_ = value;
        }
        return;
    }
    if (control->heldInteger_ && control->heldValue_ == value) return;  // leave the user's text alone
    control->heldInteger_ = false;
    CString text;
    text.Format("%d", value);
    CString current;
    control->GetWindowText(current);
    if (current != text) control->SetWindowText(text);
}
