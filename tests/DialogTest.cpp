// The dialog layer: modal dialogs from templates driven by the keyboard,
// notification results, property sheets, and exceptions kept out of Win32.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "Dialog.h"
#include "PropertyPage.h"
#include "PropertySheet.h"
#include "TestSupport.h"
#include "Window.h"

using namespace testing_support;

namespace {

constexpr UINT kNotifyProbe = 0x7001;

class CEditDlg : public CDialog {
public:
    std::wstring text = L"처음";
    int initCount = 0;

protected:
    BOOL OnInitDialog() override {
        ++initCount;
        SetItemText(1001, text);
        return TRUE;
    }
    bool OnNotify(NMHDR* hdr, LRESULT* result) override {
        if (hdr->code != kNotifyProbe) return false;
        *result = 4242;
        return true;
    }
    void OnOK() override {
        text = GetItemText(1001);
        CDialog::OnOK();
    }
};

class CPage : public CPropertyPage {
public:
    using CPropertyPage::CPropertyPage;
    int activations = 0;
    int applies = 0;

protected:
    BOOL OnSetActive() override {
        ++activations;
        return TRUE;
    }
    BOOL OnApply() override {
        ++applies;
        return TRUE;
    }
};

// Presses keys in the dialog captioned title from another thread while this
// one runs the dialog's modal loop.
std::thread DriveDialog(const std::wstring& title, std::initializer_list<WORD> keys, HWND* seen) {
    std::vector<WORD> list(keys);
    return std::thread([title, list, seen] {
        HWND dialog = WaitForDialog(title, 10000);
        *seen = dialog;
        if (!dialog) return;
        ::SetForegroundWindow(dialog);
        Pump(200);
        for (WORD vk : list) PressKey(vk);
    });
}

}  // namespace

TEST(DialogTest, ModalDialogAnswersKeyboardAndNotifications) {
    // Enter confirms: the typed text comes back through OnOK.
    CEditDlg dlg;
    HWND seen = nullptr;
    std::thread driver = DriveDialog(L"대화 상자 시험", {VK_END, 'A', 'B', VK_RETURN}, &seen);
    INT_PTR r = dlg.DoModal(9001, nullptr);
    driver.join();
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(dlg.text, L"처음ab");
    EXPECT_EQ(dlg.initCount, 1);
    EXPECT_EQ(dlg.GetHwnd(), nullptr) << "the handle is gone with the dialog";

    // Escape cancels and OnOK never runs.
    CEditDlg cancelled;
    driver = DriveDialog(L"대화 상자 시험", {'X', VK_ESCAPE}, &seen);
    EXPECT_EQ(cancelled.DoModal(9001, nullptr), IDCANCEL);
    driver.join();
    EXPECT_EQ(cancelled.text, L"처음");

    // A modeless one: a notification's answer goes back through DWLP_MSGRESULT.
    CEditDlg modeless;
    ASSERT_TRUE(modeless.Create(9001, nullptr));
    NMHDR hdr{modeless.GetItem(1001), 1001, kNotifyProbe};
    EXPECT_EQ(::SendMessageW(modeless, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&hdr)), 4242);
    hdr.code = kNotifyProbe + 1;
    EXPECT_EQ(::SendMessageW(modeless, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&hdr)), 0);
    EXPECT_EQ(CDialog::FromHandle(modeless), &modeless);
    modeless.DestroyWindow();
    EXPECT_EQ(modeless.GetHwnd(), nullptr);
}

TEST(DialogTest, PropertySheetOpensOnItsSecondPage) {
    CPage first(9002), second(9003);
    CPropertySheet sheet(L"시험 속성", nullptr);
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.SetActivePage(1);
    HWND seen = nullptr;
    std::atomic<HWND> current{nullptr};
    std::thread driver([&] {
        HWND dialog = WaitForDialog(L"시험 속성", 10000);
        seen = dialog;
        if (!dialog) return;
        current = reinterpret_cast<HWND>(::SendMessageW(dialog, PSM_GETCURRENTPAGEHWND, 0, 0));
        ::SetForegroundWindow(dialog);
        Pump(200);
        PressKey(VK_RETURN);
    });
    INT_PTR r = sheet.DoModal();
    driver.join();
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(first.activations, 0) << "the first page was never shown";
    EXPECT_EQ(second.activations, 1);
    EXPECT_EQ(second.applies, 1);
    EXPECT_EQ(first.applies, 0) << "a page never created gets no apply";
    EXPECT_NE(current.load(), nullptr);

    // Escape ends the sheet without an apply.
    CPropertySheet again(L"시험 속성", nullptr);
    again.AddPage(&first);
    std::thread esc([&] {
        HWND dialog = WaitForDialog(L"시험 속성", 10000);
        if (!dialog) return;
        ::SetForegroundWindow(dialog);
        Pump(200);
        PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(again.DoModal(), IDCANCEL);
    esc.join();
    EXPECT_EQ(first.activations, 1);
    EXPECT_EQ(first.applies, 0);
}

TEST(DialogTest, ExceptionsStopAtTheWindowProcedure) {
    class CThrowing : public CWindow {
    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
            if (msg == WM_APP) throw std::runtime_error("handler failed");
            return CWindow::HandleMessage(msg, wParam, lParam);
        }
    } window;
    LPCWSTR cls = CWindow::RegisterClass(L"OrvThrowingTest", 0, nullptr, nullptr, nullptr);
    ASSERT_NE(cls, nullptr);
    ASSERT_TRUE(window.CreateEx(0, cls, L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    ::SendMessageW(window, WM_APP, 0, 0);
    EXPECT_TRUE(::IsWindow(window)) << "the window lives on after a failed handler";
    window.DestroyWindow();
}
