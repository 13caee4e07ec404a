#pragma once
// A child window drawn from a bitmap strip: lights up while the pointer is over
// it, shows its caption in white and as a tooltip, and posts WM_COMMAND with its
// id to the parent when pressed.
#include <windows.h>

#include <string>

#include "DIB.h"
#include "UniqueHandle.h"
#include "Window.h"

class CSkinButton : public CWindow {
public:
    CSkinButton() = default;
    ~CSkinButton() override;

    // rect is in the parent's client coordinates.
    BOOL Create(const std::wstring& caption, const RECT& rect, HWND parent, UINT id);
    BOOL LoadSkin(UINT bitmapId, int cellWidth, int cellHeight);
    void SetCells(int normalCell, int hoverCell);

    const std::wstring& GetCaption() const { return m_strCaption; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    bool OnToolTipNotify(NMHDR* hdr);
    // Releases the capture and returns to the normal look.
    void StopTracking();

    CDIB m_picture;
    int m_nNormalCell = 0;
    int m_nHoverCell = 0;
    int m_nLook = 0;
    BOOL m_bTracking = FALSE;
    UINT m_nID = 0;
    std::wstring m_strCaption;
    UniqueWindow m_toolTip;  // a popup owned by our top-level window, not a child of ours
};
