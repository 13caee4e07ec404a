#pragma once
// The updater's view: the skin, one line of status text, and the three
// commands of the update run. It shows the run (status text, progress
// dialog) through the update logic's UI interface.
#include <memory>
#include <string>

#include "DIB.h"
#include "DownloadDlg.h"
#include "UniqueHandle.h"
#include "UpdateUi.h"
#include "Window.h"

class CUpdaterView : public CWindow, public IUpdateUi {
public:
    CUpdaterView() = default;
    ~CUpdaterView() override;

    bool Create(HWND parent, const RECT& rect, UINT id);
    // A command offered by the frame; true when handled.
    bool OnCommand(UINT id);

    // The text is drawn at the next paint; the whole view is erased first.
    void SetStatusText(const std::wstring& text) override;

    void OpenProgress() override;
    void SetProgress(int position) override;
    // With the progress dialog, its Cancel; without it, Esc or closing the window.
    BOOL PollCancel() override;
    void CloseProgress() override;

    // True while the update run is going on (it dispatches messages itself).
    bool IsRunning() const { return m_bRunning; }
    // Closing the window during the run asks the run to stop instead.
    void RequestCancel() { m_bCancelRequested = TRUE; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate();
    void OnPaint();
    void OnCheckProgram();
    void OnRunProgram();
    void OnDownloadProgram() {}

    CDIB m_dibSkin;
    std::wstring m_strStatus;
    UniqueGdiObject m_statusFont;
    std::unique_ptr<CDownloadDlg> m_pDownloadDlg;
    BOOL m_bCancelRequested = FALSE;
    bool m_bRunning = false;
    bool m_bUnsigned = false;  // no publisher key: a development build
};
