#pragma once
// Records statuses, positions and the percent they show in the real progress dialog.
#include <memory>
#include <string>
#include <vector>

#include "DownloadDlg.h"
#include "TestSupport.h"
#include "UpdateUi.h"
#include "resource.h"

namespace testing_support {

class RecordingUi : public IUpdateUi {
public:
    std::vector<std::wstring> statuses;
    std::vector<int> positions;
    std::vector<std::wstring> labels;

    void SetStatusText(const std::wstring& text) override { statuses.push_back(text); }
    void OpenProgress() override {
        m_dialog = std::make_unique<CDownloadDlg>();
        m_dialog->ShowModeless(nullptr);
    }
    void SetProgress(int position) override {
        positions.push_back(position);
        if (!m_dialog) return;
        m_dialog->SetProgress(position);
        labels.push_back(WindowText(m_dialog->GetItem(IDC_DOWNLOAD_PERCENT)));
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
