#include "FolderBar.h"

#include <windowsx.h>

#include "AppBase.h"
#include "Messages.h"
#include "resource.h"

CFolderBar::~CFolderBar() { DestroyWindow(); }

BOOL CFolderBar::Create(const RECT& rect, HWND parent, UINT id) {
    return CreateEx(0, DefaultChildClass(), L"Folder", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

void CFolderBar::AddFolder(std::unique_ptr<CFolderItem> folder) { m_folders.push_back(std::move(folder)); }

CFolderItem* CFolderBar::GetFolder(int index) const {
    if (index < 0 || index >= GetFolderCount()) return nullptr;
    return m_folders[index].get();
}

void CFolderBar::Layout(const RECT& client, std::vector<FolderRects>& out) const {
    out.clear();
    int n = GetFolderCount();
    int bodyHeight = client.bottom - client.top - kHeaderHeight * n;
    int top = client.top;
    for (int i = 0; i < n; ++i) {
        FolderRects rects;
        rects.header = RECT{client.left, top, client.right, top + kHeaderHeight};
        top += kHeaderHeight;
        if (i == m_nOpenFolder) {
            rects.open = true;
            rects.body = RECT{client.left, top, client.right, top + bodyHeight};
            top += bodyHeight;
        }
        out.push_back(rects);
    }
}

LRESULT CFolderBar::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        if (OnLButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) return 0;
        break;
    }
    return Default(msg, wParam, lParam);
}

void CFolderBar::OnPaint() {
    PaintDC dc(m_hWnd);
    if (m_folders.empty()) return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    std::vector<FolderRects> layout;
    Layout(client, layout);
    for (int i = 0; i < GetFolderCount(); ++i) {
        m_folders[i]->DrawHeader(dc.Get(), layout[i].header);
        if (layout[i].open) m_folders[i]->DrawBody(dc.Get(), layout[i].body);
    }
}

bool CFolderBar::OnLButtonDown(POINT pt) {
    if (m_folders.empty()) return true;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    std::vector<FolderRects> layout;
    Layout(client, layout);
    for (int i = 0; i < GetFolderCount(); ++i) {
        if (::PtInRect(&layout[i].header, pt)) {
            if (i != m_nOpenFolder) {
                // The parent hears of the change before the folder opens.
                ::PostMessageW(::GetParent(m_hWnd), WM_FOLDERBAR_CHANGED, 0, 0);
                m_nOpenFolder = i;
            }
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            return true;
        }
        if (layout[i].open && ::PtInRect(&layout[i].body, pt)) {
            // The row comes from the position alone, whatever entries exist.
            int row = (pt.y - layout[i].body.top) / CFolderItem::kTileHeight;
            if (row >= 2) return true;
            CAppBase* app = CAppBase::Get();
            HWND main = app ? app->GetMainWnd() : nullptr;
            HWND view = main ? ::GetDlgItem(main, AFX_IDW_PANE_FIRST) : nullptr;
            if (view) ::PostMessageW(view, WM_GET_RESPONSE_TIME, m_folders[i]->GetCommandValue(), row);
            return true;
        }
    }
    return false;
}
