#include "MessageBoxAnswerer.h"

#include "AppBase.h"
#include "Dialogs.h"
#include "Input.h"

namespace testing_support {

MessageBoxAnswerer::MessageBoxAnswerer(int button, std::function<void(HWND)> onBox)
    : m_button(button), m_onBox(std::move(onBox)), m_caption(CAppBase::Get()->GetAppName()) {
    m_thread = std::thread([this] {
        while (!m_stop) {
            if (HWND box = FindDialog(m_caption)) Answer(box);
            ::Sleep(30);
        }
        m_done = true;
    });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    m_stop = true;
    // Keep this thread's windows answering while the watcher finishes.
    PumpUntil([this] { return m_done.load(); }, 10000);
    m_thread.join();
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

void MessageBoxAnswerer::Answer(HWND box) {
    if (m_onBox) m_onBox(box);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(DialogText(box));
    }
    ClickDialogButton(box, m_button);
    DWORD start = ::GetTickCount();
    while (::IsWindow(box) && ::GetTickCount() - start < 3000) ::Sleep(20);
    if (::IsWindow(box)) {
        ::PostMessageW(box, WM_COMMAND, m_button, 0);
        while (::IsWindow(box)) ::Sleep(20);
    }
}

}  // namespace testing_support
