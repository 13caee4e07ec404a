#pragma once
// Records statuses and positions, shows the real progress dialog.
#include <memory>
#include <string>
#include <vector>

#include "DownloadDlg.h"
#include "UpdateUi.h"

namespace testing_support {

class RecordingUi : public IUpdateUi {
public:
    std::vector<std::wstring> statuses;
    std::vector<int> positions;

    void SetStatusText(const std::wstring& text) override { statuses.push_back(text); }
    void OpenProgress() override {
        m_dialog = std::make_unique<CDownloadDlg>();
        m_dialog->ShowModeless(nullptr);
    }
    void SetProgress(int position) override {
        positions.push_back(position);
        if (m_dialog) m_dialog->SetProgress(position);
    }
    BOOL PollCancel() override {
        if (m_dialog) return m_dialog->PollCancel();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        return FALSE;
    }
    void CloseProgress() override { m_dialog.reset(); }

private:
    std::unique_ptr<CDownloadDlg> m_dialog;
};

}  // namespace testing_support
