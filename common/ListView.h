#pragma once
// A thin list view: a handle and the list view messages behind named calls.
// It owns nothing; the window belongs to whoever made it (a dialog, or a
// CWindow of ours), and any number of these may name it.
#include <windows.h>
#include <commctrl.h>

#include <cstddef>

class CListView {
public:
    struct Column {
        const wchar_t* title;
        int width;
    };

    CListView() = default;
    explicit CListView(HWND hwnd) : m_hWnd(hwnd) {}

    HWND GetHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Report view with whole-row selection, and left-aligned columns from a table.
    void InitReport(const Column* columns, int count);
    template <size_t N>
    void InitReport(const Column (&columns)[N]) {
        InitReport(columns, static_cast<int>(N));
    }
    // Off while many rows go in: each insert would update the scroll bar.
    void SetRedraw(bool redraw);
    // Background and text colours of the rows.
    void SetColors(COLORREF background, COLORREF text);

    int GetColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    // The width a text needs in the list's font, without cell margins.
    int GetStringWidth(const wchar_t* text) const;
    int GetHeaderHeight() const;

    int GetItemCount() const;
    // Inserts a row whose texts the parent supplies when asked (LVN_GETDISPINFO);
    // data is its item data. The new row's index, or -1.
    int InsertItem(int index, LPARAM data);
    // The item data of a row, or 0.
    LPARAM GetItemData(int index) const;
    // The row with this item data, or -1.
    int FindItemData(LPARAM data) const;
    bool DeleteItem(int index);
    void DeleteAllItems();
    void RedrawItems(int first, int last);
    void SortItems(PFNLVCOMPARE compare, LPARAM data);
    // code: LVIR_BOUNDS, LVIR_LABEL...
    bool GetItemRect(int index, RECT& rect, int code) const;

    // The row under a client point, or -1.
    int HitTest(POINT pt) const;
    // The row whose band holds a client point, in any column or in the blank
    // space right of the last one, or -1 (header, below the last row).
    int RowAt(POINT pt) const;
    // The first selected row after the given one, or -1.
    int GetNextSelected(int after = -1) const;
    int GetSelectedCount() const;

private:
    HWND m_hWnd = nullptr;
};
