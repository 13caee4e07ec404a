#include "ListView.h"

void CListView::InitReport(const Column* columns, int count) {
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL;
    ::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    if ((style & LVS_TYPEMASK) != LVS_REPORT) ::SetWindowLongW(m_hWnd, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT);
    for (int i = 0; i < count; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<wchar_t*>(columns[i].title);
        column.iSubItem = i;
        ::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void CListView::SetRedraw(bool redraw) { ::SendMessageW(m_hWnd, WM_SETREDRAW, redraw ? TRUE : FALSE, 0); }

void CListView::SetColors(COLORREF background, COLORREF text) {
    ::SendMessageW(m_hWnd, LVM_SETBKCOLOR, 0, background);
    ::SendMessageW(m_hWnd, LVM_SETTEXTCOLOR, 0, text);
    ::SendMessageW(m_hWnd, LVM_SETTEXTBKCOLOR, 0, background);
}

int CListView::GetColumnWidth(int column) const {
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETCOLUMNWIDTH, column, 0));
}

void CListView::SetColumnWidth(int column, int width) {
    ::SendMessageW(m_hWnd, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
}

int CListView::GetStringWidth(const wchar_t* text) const {
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text)));
}

int CListView::GetHeaderHeight() const {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, LVM_GETHEADER, 0, 0));
    RECT r{};
    if (header) ::GetWindowRect(header, &r);
    return r.bottom - r.top;
}

int CListView::GetItemCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }

int CListView::InsertItem(int index, LPARAM data) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.cchTextMax = MAX_PATH;
    item.iImage = I_IMAGECALLBACK;
    item.lParam = data;
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

LPARAM CListView::GetItemData(int index) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return item.lParam;
}

int CListView::FindItemData(LPARAM data) const {
    LVFINDINFOW find{};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(
        ::SendMessageW(m_hWnd, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

bool CListView::DeleteItem(int index) { return ::SendMessageW(m_hWnd, LVM_DELETEITEM, index, 0) != 0; }

void CListView::DeleteAllItems() { ::SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0); }

void CListView::RedrawItems(int first, int last) { ::SendMessageW(m_hWnd, LVM_REDRAWITEMS, first, last); }

void CListView::SortItems(PFNLVCOMPARE compare, LPARAM data) {
    ::SendMessageW(m_hWnd, LVM_SORTITEMS, data, reinterpret_cast<LPARAM>(compare));
}

bool CListView::GetItemRect(int index, RECT& rect, int code) const {
    rect = RECT{};
    rect.left = code;
    return ::SendMessageW(m_hWnd, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect)) != 0;
}

int CListView::HitTest(POINT pt) const {
    LVHITTESTINFO hit{};
    hit.pt = pt;
    int index = static_cast<int>(::SendMessageW(m_hWnd, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return index >= 0 && (hit.flags & LVHT_ONITEM) ? index : -1;
}

int CListView::RowAt(POINT pt) const {
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!::PtInRect(&client, pt)) return -1;
    int count = GetItemCount();
    int top = static_cast<int>(::SendMessageW(m_hWnd, LVM_GETTOPINDEX, 0, 0));
    int last = top + static_cast<int>(::SendMessageW(m_hWnd, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
    for (int i = top < 0 ? 0 : top; i < count && i <= last; ++i) {
        RECT row;
        if (GetItemRect(i, row, LVIR_BOUNDS) && pt.y >= row.top && pt.y < row.bottom) return i;
    }
    return -1;
}

int CListView::GetNextSelected(int after) const {
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
}

int CListView::GetSelectedCount() const {
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0));
}
