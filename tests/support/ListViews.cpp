#include "ListViews.h"

#include "Input.h"
#include "ListView.h"

namespace testing_support {

int ListItemCount(HWND list) { return CListView(list).GetItemCount(); }

std::wstring ListItemText(HWND list, int item, int subItem) { return CListView(list).GetRemoteItemText(item, subItem); }

POINT ListItemPoint(HWND list, int item) {
    RECT r{};
    CListView(list).GetRemoteItemRect(item, r, LVIR_LABEL);
    return ClientToScreenPoint(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int FindListItem(HWND list, int subItem, const std::wstring& text) {
    int count = ListItemCount(list);
    for (int i = 0; i < count; ++i)
        if (ListItemText(list, i, subItem) == text) return i;
    return -1;
}

}  // namespace testing_support
