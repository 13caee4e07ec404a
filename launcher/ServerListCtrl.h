#pragma once
// The black server list: name, address and response columns built from each
// row's CServerEntry on every request; a double-click on a row asks the parent
// to launch with that server.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ListView.h"
#include "UniqueHandle.h"
#include "Window.h"

class CServerEntry;

class CServerListCtrl : public CWindow {
public:
    CServerListCtrl() = default;
    ~CServerListCtrl() override;

    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);
    CListView View() const { return CListView(m_hWnd); }

    // Keeps every column inside the list's width, so that no horizontal scroll
    // bar appears: with a vertical scroll bar the response column gives way
    // down to what its texts need, the name column the rest. Call after the
    // rows changed.
    void FitColumns();

    // Asks the parent to launch with the (first) selected row, as a double-click
    // on it does; nothing when no row is selected.
    void LaunchSelected();

    // The text of the response column for a response value.
    static std::wstring ResponseText(WORD response);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnReflectedNotify(NMHDR* hdr, LRESULT* result) override;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnGetDispInfo(NMLVDISPINFOW* info);
    void OnDoubleClick(POINT click);
    void LaunchRow(int index);

    UniqueGdiObject m_font;
};
