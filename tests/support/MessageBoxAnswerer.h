#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// Answers every message box of this process with the application's caption, from
// a thread of its own (a box runs its own loop inside the handler that raised it),
// by a real click on `button`. onBox, if given, sees each box first (on that thread;
// it must not send messages to the user-interface thread). A box the click does
// not close is closed anyway, so a test never hangs on it.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int button = IDOK, std::function<void(HWND)> onBox = {});
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    std::vector<std::wstring> Texts();

private:
    void Answer(HWND box);
    int m_button;
    std::function<void(HWND)> m_onBox;
    std::wstring m_caption;
    std::atomic<bool> m_stop{false}, m_done{false};
    std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
    std::thread m_thread;
};

}  // namespace testing_support
