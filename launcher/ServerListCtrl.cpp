#include "ServerListCtrl.h"

#include "Font.h"

#include <algorithm>
#include <cwchar>

#include "Messages.h"
#include "ServerEntry.h"

namespace {

struct Column {
    const wchar_t* title;
    int width;
};
const Column kColumns[] = {{L"서버 이름", 150}, {L"서버 주소", 100}, {L"응답 시간", 69}};

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
        OnDoubleClick();
        *result = 0;
        return true;
    }
    return false;
}

LRESULT CServerListCtrl::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (Default(WM_CREATE, wParam, lParam) == -1) return -1;

    DWORD ex = static_cast<DWORD>(::SendMessageW(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    ::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex | LVS_EX_FULLROWSELECT | LVS_EX_REGIONAL);
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    if ((style & LVS_TYPEMASK) != LVS_REPORT) ::SetWindowLongW(m_hWnd, GWL_STYLE, (style & ~LVS_TYPEMASK) | LVS_REPORT);

    // Gulim, as on Korean Windows, named explicitly so the Korean texts render anywhere.
    m_font.Reset(Font::CreatePointFont(90, L"굴림"));
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), FALSE);

    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[i].width;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        column.iSubItem = i;
        ::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    return 0;
}

void CServerListCtrl::FitColumns() {
    if (!m_hWnd) return;
    // The width and height the list has without scroll bars.
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int width = client.right + ((style & WS_VSCROLL) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
    int height = client.bottom + ((style & WS_HSCROLL) ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);

    int rows = static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
    bool scrollBar = false;
    if (rows > 0) {
        RECT item{};
        item.left = LVIR_BOUNDS;
        ::SendMessageW(m_hWnd, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
        RECT header{};
        HWND headerWnd = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, LVM_GETHEADER, 0, 0));
        if (headerWnd) ::GetWindowRect(headerWnd, &header);
        int rowHeight = item.bottom - item.top;
        scrollBar = rowHeight > 0 && rows * rowHeight > height - (header.bottom - header.top);
    }
    int available = width - (scrollBar ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);

    int widths[3] = {kColumns[0].width, kColumns[1].width, kColumns[2].width};
    int excess = widths[0] + widths[1] + widths[2] - available;
    if (excess > 0) {
        // What the response column's texts need, with the cell margins.
        int need = 0;
        for (const wchar_t* text : {kColumns[2].title, L"접속 실패", L"접속중...", L"65533ms"})
            need = std::max(need, static_cast<int>(::SendMessageW(m_hWnd, LVM_GETSTRINGWIDTHW, 0,
                                                                  reinterpret_cast<LPARAM>(text))));
        need += 16;
        int give = std::clamp(widths[2] - need, 0, excess);
        widths[2] -= give;
        widths[0] -= excess - give;
    }
    for (int i = 0; i < 3; ++i)
        if (static_cast<int>(::SendMessageW(m_hWnd, LVM_GETCOLUMNWIDTH, i, 0)) != widths[i])
            ::SendMessageW(m_hWnd, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(widths[i], 0));
}

void CServerListCtrl::OnGetDispInfo(NMLVDISPINFOW* info) {
    LVITEMW& item = info->item;
    if (!(item.mask & LVIF_TEXT)) return;
    auto* entry = reinterpret_cast<CServerEntry*>(item.lParam);
    if (!entry) {
        LVITEMW query{};
        query.mask = LVIF_PARAM;
        query.iItem = item.iItem;
        if (::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)))
            entry = reinterpret_cast<CServerEntry*>(query.lParam);
    }
    if (!entry) return;
    switch (item.iSubItem) {
    case 0:
        CopyText(entry->m_strName, item);
        break;
    case 1:
        CopyText(entry->m_strAddress, item);
        break;
    case 2:
        CopyText(ResponseText(entry->m_wResponse), item);
        break;
    default:
        item.pszText = nullptr;
        break;
    }
}

void CServerListCtrl::OnDoubleClick() {
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    LVHITTESTINFO hit{};
    hit.pt = pt;
    int index = static_cast<int>(::SendMessageW(m_hWnd, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (index < 0 || !(hit.flags & LVHT_ONITEM)) return;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
    ::PostMessageW(::GetParent(m_hWnd), WM_LAUNCH_BATTLENET, static_cast<WPARAM>(item.lParam), 0);
}
