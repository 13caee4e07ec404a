#pragma once
// The modeless progress dialog of a download. While it exists its owner (the
// updater's window) is disabled, so it behaves like a modal dialog without a
// modal loop: the download dispatches waiting messages through it.
#include "Dialog.h"

class CDownloadDlg : public CDialog {
public:
    // captionId 0 takes the default caption "다운로드".
    explicit CDownloadDlg(UINT captionId = 0);
    ~CDownloadDlg() override;

    // Disables the owner (parent, or the application's main window) and
    // creates the dialog; FALSE (owner enabled again) when it cannot be made.
    BOOL ShowModeless(HWND parent);
    // Moves the bar, refreshes the percent label; returns the previous position.
    int SetProgress(int position);
    // Returns and clears the cancel request.
    BOOL PollCancel();
    void PumpWaitingMessages();
    void ShowPercent(int position);
    void RestoreOwner();
    // Enables the owner again, then destroys the window.
    BOOL DestroyWindow();

    // The label text of a position: its share of the range, 0% to 100%.
    static std::wstring PercentText(int position, int lower, int upper);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override { m_bCancelRequested = TRUE; }

private:
    UINT m_nCaptionId;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 1;
    BOOL m_bCancelRequested = FALSE;
    BOOL m_bOwnerDisabled = FALSE;
    HWND m_hOwner = nullptr;
};
