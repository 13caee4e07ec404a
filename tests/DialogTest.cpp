// The dialog layer on the launcher's own templates: a modal dialog confirmed by the keyboard, a notification's
// result, and a property sheet opened on its second page.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include "Dialog.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "TestSupport.h"
#include "resource.h"

using namespace testing_support;

namespace {
constexpr UINT kProbe = 0x7001;

class CEditDlg : public CDialog {
public:
    std::wstring text = L"처음";

protected:
    BOOL OnInitDialog() override { return SetItemText(IDC_SERVER_NAME, text), TRUE; }
    bool OnNotify(NMHDR* hdr, LRESULT* result) override { return hdr->code == kProbe && (*result = 4242); }
    void OnOK() override { text = GetItemText(IDC_SERVER_NAME), CDialog::OnOK(); }
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
    // through DWLP_MSGRESULT, an unhandled one gives 0. (Escape is pressed on the setup sheet's server dialog.)
    CEditDlg dlg;
    LRESULT handled = -1, unhandled = -1;
    std::thread driver = DriveDialog(L"편집", [&](HWND d) {
        ASSERT_NE(d, nullptr);
        NMHDR hdr{::GetDlgItem(d, IDC_SERVER_NAME), IDC_SERVER_NAME, kProbe};
        handled = ::SendMessageW(d, WM_NOTIFY, IDC_SERVER_NAME, reinterpret_cast<LPARAM>(&hdr));
        hdr.code = kProbe + 1;
        unhandled = ::SendMessageW(d, WM_NOTIFY, IDC_SERVER_NAME, reinterpret_cast<LPARAM>(&hdr));
        PressKey(VK_END);
        TypeText(L"ab");
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(dlg.DoModal(IDD_SERVER_EDIT, nullptr), IDOK);
    driver.join();
    EXPECT_EQ(dlg.text, L"처음ab");
    EXPECT_EQ(handled, 4242);
    EXPECT_EQ(unhandled, 0);
    EXPECT_EQ(dlg.GetHwnd(), nullptr) << "the handle is gone with the dialog";
    // A sheet opened on its second page: the first is never activated, OK applies only the created page.
    CPage first(IDD_SETUP_USER), second(IDD_SETUP_PROGRAM);
    CPropertySheet sheet(L"시험 속성", nullptr);
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.SetActivePage(1);
    int tab = -1;
    driver = DriveDialog(L"시험 속성", [&](HWND d) {
        ASSERT_NE(d, nullptr);
        HWND tabs = reinterpret_cast<HWND>(::SendMessageW(d, PSM_GETTABCONTROL, 0, 0));
        tab = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    driver.join();
    EXPECT_EQ(tab, 1);
    EXPECT_EQ(first.activations, 0) << "the first page was never shown";
    EXPECT_EQ(second.activations, 1);
    EXPECT_EQ(second.applies, 1);
    EXPECT_EQ(first.applies, 0);
}
