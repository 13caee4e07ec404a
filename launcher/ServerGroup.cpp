#include "ServerGroup.h"

#include <commctrl.h>

#include <algorithm>

#include "AppBase.h"
#include "ServerEntry.h"
#include "ServerListCtrl.h"
#include "ServerListFile.h"
#include "SweepThread.h"
#include "Window.h"

int g_nCurrentGame = 0;
std::atomic<CSweepThread*> g_pSweepThread{nullptr};
std::atomic<bool> g_bStopSweep{false};
std::atomic<CServerEntry*> g_pProbedEntry{nullptr};

namespace {

constexpr DWORD kStopSweepTimeoutMs = 10000;

// Waits for a handle while still answering messages other threads send to our
// windows (the sweep sorts the list that way), but nothing posted: queued
// socket notifications stay queued, so a probe under way runs into its time-out.
DWORD WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        DWORD elapsed = ::GetTickCount() - start;
        DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        DWORD r = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return r;
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

CServerGroup::~CServerGroup() {
    StopSweep();
    m_entries.clear();
}

int CServerGroup::RowCount() const {
    return m_list.GetHwnd() ? static_cast<int>(::SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

void CServerGroup::SelectServerGroup(const wchar_t* file1, const wchar_t* file2, int game) {
    if (!StopSweep()) return;
    if (RowCount() != 0) ClearServerList();
    g_nCurrentGame = game;

    std::wstring folder = CAppBase::ProgramFolder();
    if (!LoadServerList(folder + file1)) return;
    if (file2 && CAppBase::FileExists(folder + file2)) LoadServerList(folder + file2);

    auto sweep = CSweepThread::Create(&CServerGroup::SweepThreadProc, m_list.GetHwnd(), m_entries);
    if (!sweep) return;
    // Stored before the thread runs, so its final clearing always comes after.
    m_pSweep = sweep;
    g_pSweepThread = sweep.get();
    sweep->Resume();
}

BOOL CServerGroup::StopSweep() {
    CSweepThread* running = g_pSweepThread;
    if (!running || !m_pSweep) {
        g_bStopSweep = false;
        m_pSweep.reset();
        return TRUE;
    }
    g_bStopSweep = true;
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    DWORD r = WaitAnsweringSentMessages(m_pSweep->GetHandle(), kStopSweepTimeoutMs);
    ::SetCursor(previous);
    g_bStopSweep = false;
    // Forget the thread either way; one that did not end stops on its own at
    // its next check, since it is no longer the current sweep.
    CSweepThread* expected = running;
    g_pSweepThread.compare_exchange_strong(expected, nullptr);
    m_pSweep.reset();
    return r == WAIT_OBJECT_0 ? TRUE : FALSE;
}

void CServerGroup::ClearServerList() {
    if (m_list.GetHwnd()) ::SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    // A sweep still holding an entry keeps it alive until it ends.
    m_entries.clear();
}

bool CServerGroup::LoadServerList(const std::wstring& path) {
    std::vector<ServerLine> lines;
    if (!CServerListFile::Read(path, lines)) {
        CAppBase* app = CAppBase::Get();
        std::wstring text = L"서버 목록 파일을 열 수 없습니다.\n" + path;
        if (app) app->MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    for (auto& line : lines) {
        auto entry = std::make_shared<CServerEntry>(line.name, line.address);
        entry->m_pOwnerView = &m_owner;
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = RowCount();
        item.pszText = LPSTR_TEXTCALLBACKW;
        item.cchTextMax = MAX_PATH;
        item.iImage = I_IMAGECALLBACK;
        item.lParam = reinterpret_cast<LPARAM>(entry.get());
        if (::SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) continue;
        m_entries.push_back(std::move(entry));
    }
    return true;
}

UINT CServerGroup::SweepThreadProc(CSweepThread* thread) {
    HWND list = thread->GetList();
    // Measured in list order; entries loaded after the start are not measured.
    for (const auto& entry : thread->GetEntries()) {
        entry->m_wResponse = RESPONSE_MEASURING;
        ::InvalidateRect(list, nullptr, TRUE);
        g_pProbedEntry = entry.get();
        entry->MeasureResponse();
        CServerEntry* probed = entry.get();
        g_pProbedEntry.compare_exchange_strong(probed, nullptr);
        if (g_bStopSweep || g_pSweepThread != thread) return 0;
        ::InvalidateRect(list, nullptr, TRUE);
    }
    ::SendMessageW(list, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(&CServerGroup::CompareResponse));
    CSweepThread* self = thread;
    g_pSweepThread.compare_exchange_strong(self, nullptr);
    return 0;
}

int CALLBACK CServerGroup::CompareResponse(LPARAM a, LPARAM b, LPARAM) {
    WORD ra = reinterpret_cast<CServerEntry*>(a)->m_wResponse;
    WORD rb = reinterpret_cast<CServerEntry*>(b)->m_wResponse;
    if (ra == rb) return 0;
    return ra < rb ? -1 : 1;
}

bool CServerGroup::IsCurrentEntry(const CServerEntry* entry) const {
    return std::any_of(m_entries.begin(), m_entries.end(), [entry](const auto& e) { return e.get() == entry; });
}

void CServerGroup::OnConnect(WPARAM socket, LPARAM event) {
    if (WSAGETSELECTEVENT(event) != FD_CONNECT) {
        ::OutputDebugStringW(L"CPingView::OnConnect, Unknown event\n");
        return;
    }
    // Any answer counts, refused included, but only for the probe under way.
    CServerEntry* entry = g_pProbedEntry;
    if (entry && IsCurrentEntry(entry) && entry->m_socket == static_cast<SOCKET>(socket))
        ::SetEvent(entry->m_hConnectEvent.Get());
}
