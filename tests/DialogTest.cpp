// The dialog layer: a modal dialog from a template driven by the keyboard, a notification's result, and a
// property sheet opened on its second page.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include "Dialog.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {
constexpr UINT kProbe = 0x7001;

class CEditDlg : public CDialog {
public:
    std::wstring text = L"처음";

protected:
    BOOL OnInitDialog() override { return SetItemText(1001, text), TRUE; }
    bool OnNotify(NMHDR* hdr, LRESULT* result) override { return hdr->code == kProbe && (*result = 4242); }
    void OnOK() override { text = GetItemText(1001), CDialog::OnOK(); }
};

class CPage : public CPropertyPage {
public:
    using CPropertyPage::CPropertyPage;
    int activations = 0, applies = 0;

protected:
    BOOL OnSetActive() override { return ++activations, TRUE; }
    BOOL OnApply() override { return ++applies, TRUE; }
};
}  // namespace

TEST(DialogTest, ModalDialogByKeyboardNotificationResultAndSheetOnItsSecondPage) {
    // Enter confirms: the typed text comes back through OnOK; a notification sent meanwhile is answered
    // through DWLP_MSGRESULT, an unhandled one gives 0.
    CEditDlg dlg, cancelled;
    LRESULT handled = -1, unhandled = -1;
    auto keys = [](std::initializer_list<WORD> list) { for (WORD vk : list) PressKey(vk); };
    std::thread driver = DriveDialog(L"대화 상자 시험", [&](HWND d) {
        ASSERT_NE(d, nullptr);
        NMHDR hdr{::GetDlgItem(d, 1001), 1001, kProbe};
        handled = ::SendMessageW(d, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&hdr));
        hdr.code = kProbe + 1;
        unhandled = ::SendMessageW(d, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&hdr));
        keys({VK_END, 'A', 'B', VK_RETURN});
    });
    EXPECT_EQ(dlg.DoModal(9001, nullptr), IDOK);
    driver.join();
    EXPECT_EQ(dlg.text, L"처음ab");
    EXPECT_EQ(handled, 4242);
    EXPECT_EQ(unhandled, 0);
    EXPECT_EQ(dlg.GetHwnd(), nullptr) << "the handle is gone with the dialog";
    // Escape cancels and OnOK never runs.
    driver = DriveDialog(L"대화 상자 시험", [&](HWND d) { if (d) keys({'X', VK_ESCAPE}); });
    EXPECT_EQ(cancelled.DoModal(9001, nullptr), IDCANCEL);
    driver.join();
    EXPECT_EQ(cancelled.text, L"처음");
    // A sheet opened on its second page: the first is never activated, OK applies only the created page.
    CPage first(9002), second(9002);
    CPropertySheet sheet(L"시험 속성", nullptr);
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.SetActivePage(1);
    int tab = -1;
    driver = DriveDialog(L"시험 속성", [&](HWND d) {
        ASSERT_NE(d, nullptr);
        HWND tabs = reinterpret_cast<HWND>(::SendMessageW(d, PSM_GETTABCONTROL, 0, 0));
        tab = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        keys({VK_RETURN});
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    driver.join();
    EXPECT_EQ(tab, 1);
    EXPECT_EQ(first.activations, 0) << "the first page was never shown";
    EXPECT_EQ(second.activations, 1);
    EXPECT_EQ(second.applies, 1);
    EXPECT_EQ(first.applies, 0);
}
