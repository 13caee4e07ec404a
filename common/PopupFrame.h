#pragma once
// The centred, borderless popup that holds one view over its whole client
// area. Both programs' frames are this shape; a derived frame makes the view.
#include "Window.h"

class CPopupFrame : public CWindow {
public:
    // title replaces the resource title once the frame exists (null keeps it);
    // style is the frame's window style (a thin border unless told otherwise).
    CPopupFrame(int width, int height, const wchar_t* className, const wchar_t* title,
                DWORD style = WS_POPUP | WS_VISIBLE | WS_BORDER)
        : m_nWidth(width), m_nHeight(height), m_pszClassName(className), m_pszTitle(title), m_dwStyle(style) {}
    ~CPopupFrame() override;

    // Creates the frame from the resources of frameId (menu and title),
    // centred on the screen.
    bool LoadFrame(UINT frameId);

    // Centred position of a width x height window on a screen (halves toward zero).
    static RECT CentredRect(int screenWidth, int screenHeight, int width, int height);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Makes the view as a child of the frame; its window, or null.
    virtual HWND CreateView() = 0;
    // A command offered to the view first; true when it handled it.
    virtual bool OnViewCommand(UINT id) = 0;

private:
    LRESULT OnCreate();
    void LayoutView(BOOL repaint);

    int m_nWidth;
    int m_nHeight;
    const wchar_t* m_pszClassName;
    const wchar_t* m_pszTitle;
    DWORD m_dwStyle;
    HWND m_hView = nullptr;
    HMENU m_hMenu = nullptr;
};
