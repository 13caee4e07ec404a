#include "ListViews.h"

#include <commctrl.h>

#include "Input.h"

namespace testing_support {

namespace {

// A block in the process of a window, for messages whose lParam it must see.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) : m_size(size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        m_process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process)
            m_base = static_cast<BYTE*>(::VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (m_base) ::VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
        if (m_process) ::CloseHandle(m_process);
    }
    bool ok() const { return m_base != nullptr; }
    BYTE* at(size_t offset) const { return m_base + offset; }
    bool Write(size_t offset, const void* data, size_t size) {
        return ::WriteProcessMemory(m_process, m_base + offset, data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) {
        return ::ReadProcessMemory(m_process, m_base + offset, data, size, nullptr);
    }

private:
    HANDLE m_process = nullptr;
    BYTE* m_base = nullptr;
    size_t m_size;
};

}  // namespace

int ListItemCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListItemText(HWND list, int item, int subItem) {
    constexpr int kChars = 260;
    RemoteBlock block(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!block.ok()) return L"";
    LVITEMW lv{};
    lv.iSubItem = subItem;
    lv.pszText = reinterpret_cast<wchar_t*>(block.at(sizeof(LVITEMW)));
    lv.cchTextMax = kChars;
    block.Write(0, &lv, sizeof(lv));
    ::SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(block.at(0)));
    wchar_t text[kChars] = {};
    block.Read(sizeof(LVITEMW), text, sizeof(text));
    text[kChars - 1] = L'\0';
    return text;
}

POINT ListItemPoint(HWND list, int item) {
    RemoteBlock block(list, sizeof(RECT));
    RECT r{};
    r.left = LVIR_LABEL;
    if (block.ok()) {
        block.Write(0, &r, sizeof(r));
        ::SendMessageW(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(block.at(0)));
        block.Read(0, &r, sizeof(r));
    }
    return ClientToScreenPoint(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int FindListItem(HWND list, int subItem, const std::wstring& text) {
    int count = ListItemCount(list);
    for (int i = 0; i < count; ++i)
        if (ListItemText(list, i, subItem) == text) return i;
    return -1;
}

}  // namespace testing_support
