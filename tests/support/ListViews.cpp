#include "ListViews.h"

#include <commctrl.h>

#include "Input.h"
#include "ListView.h"
#include "UniqueHandle.h"

namespace testing_support {

namespace {

// A busy list answers late; a hung one must not hang the reader for good.
constexpr UINT kRemoteTimeoutMs = 60000;
constexpr int kRemoteTextChars = 260;

// A list of another process can only write into its own memory: a block there carries the answer across.
class RemoteBlock {
public:
    RemoteBlock(HWND window, size_t size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        m_process.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (m_process)
            m_base = static_cast<BYTE*>(::VirtualAllocEx(m_process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (m_base) ::VirtualFreeEx(m_process.Get(), m_base, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    bool Write(size_t offset, const void* data, size_t size) {
        return m_base && ::WriteProcessMemory(m_process.Get(), m_base + offset, data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) {
        return ::ReadProcessMemory(m_process.Get(), m_base + offset, data, size, nullptr);
    }
    // Sends msg with the block as lParam.
    bool Send(HWND list, UINT msg, WPARAM wParam) {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(list, msg, wParam, reinterpret_cast<LPARAM>(m_base), SMTO_NORMAL,
                                     kRemoteTimeoutMs, &result) != 0;
    }
    BYTE* At(size_t offset) const { return m_base + offset; }

private:
    UniqueKernelHandle m_process;
    BYTE* m_base = nullptr;
};

}  // namespace

int ListItemCount(HWND list) { return CListView(list).GetItemCount(); }

std::wstring ListItemText(HWND list, int item, int subItem) {
    RemoteBlock block(list, sizeof(LVITEMW) + kRemoteTextChars * sizeof(wchar_t));
    LVITEMW request{};
    request.iSubItem = subItem;
    request.pszText = reinterpret_cast<wchar_t*>(block.At(sizeof(LVITEMW)));
    request.cchTextMax = kRemoteTextChars;
    wchar_t text[kRemoteTextChars] = {};
    if (!block.Write(0, &request, sizeof(request)) || !block.Send(list, LVM_GETITEMTEXTW, item) ||
        !block.Read(sizeof(LVITEMW), text, sizeof(text)))
        return std::wstring();
    text[kRemoteTextChars - 1] = L'\0';
    return text;
}

POINT ListItemPoint(HWND list, int item) {
    RECT r{LVIR_LABEL, 0, 0, 0};
    RemoteBlock block(list, sizeof(RECT));
    if (!block.Write(0, &r, sizeof(r)) || !block.Send(list, LVM_GETITEMRECT, item) || !block.Read(0, &r, sizeof(r)))
        r = RECT{};
    return ClientToScreenPoint(list, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int FindListItem(HWND list, int subItem, const std::wstring& text) {
    int count = ListItemCount(list);
    for (int i = 0; i < count; ++i)
        if (ListItemText(list, i, subItem) == text) return i;
    return -1;
}

}  // namespace testing_support
