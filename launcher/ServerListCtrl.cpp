#include "ServerListCtrl.h"

#include "Font.h"

#include <algorithm>
#include <cwchar>

#include "Messages.h"
#include "ServerEntry.h"

namespace {

enum { kNameColumn, kAddressColumn, kResponseColumn, kColumnCount };
const CListView::Column kColumns[kColumnCount] = {{L"서버 이름", 150}, {L"서버 주소", 100}, {L"응답 시간", 69}};

void CopyText(const std::wstring& text, LVITEMW& item) {
    if (!item.pszText || item.cchTextMax <= 0) return;
    size_t n = std::min<size_t>(text.size(), static_cast<size_t>(item.cchTextMax - 1));
    wmemcpy(item.pszText, text.data(), n);
    item.pszText[n] = L'\0';
}

}  // namespace

CServerListCtrl::~CServerListCtrl() { DestroyWindow(); }

bool CServerListCtrl::Create(DWORD style, const RECT& rect, HWND parent, UINT id) {
    LPCWSTR cls = RegisterSuperclass(L"OrvServerList", WC_LISTVIEWW);
    return CreateEx(0, cls, nullptr, style, rect, parent, id);
}

std::wstring CServerListCtrl::ResponseText(WORD response) {
    switch (response) {
    case RESPONSE_NOT_MEASURED:
        return L"-";
    case RESPONSE_MEASURING:
        return L"접속중...";
    case RESPONSE_FAILED:
        return L"접속 실패";
    }
    wchar_t text[16];
    swprintf(text, 16, L"%ums", static_cast<unsigned>(response));
    return text;
}

LRESULT CServerListCtrl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    }
    return Default(msg, wParam, lParam);
}

bool CServerListCtrl::OnReflectedNotify(NMHDR* hdr, LRESULT* result) {
    switch (hdr->code) {
    case LVN_GETDISPINFOW:
        OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(hdr));
        *result = 0;
        return true;
    case NM_DBLCLK:
        OnDoubleClick(reinterpret_cast<NMITEMACTIVATE*>(hdr)->ptAction);
        *result = 0;
        return true;
    }
    return false;
}

LRESULT CServerListCtrl::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (Default(WM_CREATE, wParam, lParam) == -1) return -1;

    // Gulim, as on Korean Windows, named explicitly so the Korean texts render anywhere.
    m_font.Reset(Font::CreatePointFont(90, L"굴림"));
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);

    View().InitReport(kColumns);
    return 0;
}

void CServerListCtrl::FitColumns() {
    if (!m_hWnd) return;
    CListView list = View();
    // The width and height the list has without scroll bars.
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int width = client.right + ((style & WS_VSCROLL) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
    int height = client.bottom + ((style & WS_HSCROLL) ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);

    int rows = list.GetItemCount();
    bool scrollBar = false;
    RECT item;
    if (rows > 0 && list.GetItemRect(0, item, LVIR_BOUNDS)) {
        int rowHeight = item.bottom - item.top;
        scrollBar = rowHeight > 0 && rows * rowHeight > height - list.GetHeaderHeight();
    }
    int available = width - (scrollBar ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);

    int widths[kColumnCount];
    int excess = -available;
    for (int i = 0; i < kColumnCount; ++i) excess += widths[i] = kColumns[i].width;
    if (excess > 0) {
        // What the response column's texts need, with the cell margins.
        int need = 0;
        for (const wchar_t* text : {kColumns[kResponseColumn].title, L"접속 실패", L"접속중...", L"65533ms"})
            need = std::max(need, list.GetStringWidth(text));
        need += 16;
        int give = std::clamp(widths[kResponseColumn] - need, 0, excess);
        widths[kResponseColumn] -= give;
        widths[kNameColumn] -= excess - give;
    }
    for (int i = 0; i < kColumnCount; ++i)
        if (list.GetColumnWidth(i) != widths[i]) list.SetColumnWidth(i, widths[i]);
}

void CServerListCtrl::OnGetDispInfo(NMLVDISPINFOW* info) {
    LVITEMW& item = info->item;
    if (!(item.mask & LVIF_TEXT)) return;
    auto* entry = reinterpret_cast<CServerEntry*>(item.lParam);
    if (!entry) entry = reinterpret_cast<CServerEntry*>(View().GetItemData(item.iItem));
    if (!entry) return;
    switch (item.iSubItem) {
    case kNameColumn:
        CopyText(entry->m_strName, item);
        break;
    case kAddressColumn:
        CopyText(entry->m_strAddress, item);
        break;
    case kResponseColumn:
        CopyText(ResponseText(entry->m_wResponse), item);
        break;
    default:
        item.pszText = nullptr;
        break;
    }
}

void CServerListCtrl::OnDoubleClick(POINT click) {
    // Anywhere on a row counts, the response column the player looks at included.
    // Where the click was, not where the mouse is now: a busy window handles it late.
    LaunchRow(View().RowAt(click));
}

void CServerListCtrl::LaunchRow(int index) {
    if (index < 0) return;
    LPARAM entry = View().GetItemData(index);
    if (entry) ::PostMessageW(::GetParent(m_hWnd), WM_LAUNCH_BATTLENET, static_cast<WPARAM>(entry), 0);
}

void CServerListCtrl::LaunchSelected() {
    LaunchRow(View().GetNextSelected());
}
