// Message-map lookup.
#include <afx_msgmap.h>

namespace {
const AFX_MSGMAP_ENTRY kNoEntries[] = {{0, 0, 0, nullptr}};
const AFX_MSGMAP kRootMap = {nullptr, &kNoEntries[0]};

bool Matches(const AFX_MSGMAP_ENTRY& e, UINT message, WPARAM wParam) {
    if (e.nMessage != message) return false;
    if (message != WM_COMMAND) return true;
    return e.nCode == HIWORD(wParam) && e.nID == LOWORD(wParam);
}
}  // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() { return &kRootMap; }

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchMappedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
            if (!Matches(*e, message, wParam)) continue;
            LRESULT r = e->pfn(this, wParam, lParam);
            if (result) *result = r;
            return true;
        }
    }
    return false;
}
