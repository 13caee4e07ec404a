#include "ServerGroup.h"

#include <commctrl.h>

#include <algorithm>

#include "AppBase.h"
#include "ListView.h"
#include "Messages.h"
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
// How long one step of filling a list may keep the window from answering
// (an insert costs up to 0.1 ms under Wine, more as the list grows).
constexpr DWORD kFillStepMs = 40;

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
    return m_list.GetHwnd() ? m_list.View().GetItemCount() : 0;
}

void CServerGroup::SelectServerGroup(const wchar_t* file1, const wchar_t* file2, int game) {
    Choose(Choice{file1 ? file1 : L"", file2 ? file2 : L"", game});
}

void CServerGroup::EmptyServerGroup() { Choose(Choice{}); }

void CServerGroup::Remeasure() {
    if (!m_current.file1.empty()) Choose(m_current);
}

void CServerGroup::Choose(Choice choice) {
    // A choice sent to the view while a stop waits (the wait answers sent
    // messages), or dispatched by a message box's loop, is not carried out
    // inside the other one: it is kept, and the latest is carried out after it.
    // One that comes during the stop of Exit is dropped with the window.
    if (m_bChoosing || m_nStopping > 0) {
        m_pending = std::move(choice);
        return;
    }
    m_bChoosing = true;
    m_pending.reset();
    for (;;) {
        CarryOut(choice);
        if (!m_pending) break;
        choice = std::move(*m_pending);
        m_pending.reset();
    }
    m_bChoosing = false;
}

void CServerGroup::CarryOut(const Choice& choice) {
    if (!StopSweep()) return;
    if (m_pending || !::IsWindow(m_list.GetHwnd())) return;  // overtaken while stopping
    // Entries may be loaded with no rows yet, when a choice overtook the one that loaded them.
    if (RowCount() != 0 || !m_entries.empty()) ClearServerList();
    m_current = choice;
    if (choice.file1.empty()) return;
    g_nCurrentGame = choice.game;

    std::wstring folder = CAppBase::ProgramFolder();
    if (!LoadServerList(folder + choice.file1)) return;
    if (!choice.file2.empty() && CAppBase::FileExists(folder + choice.file2)) LoadServerList(folder + choice.file2);
    if (m_pending) return;
    m_bFilling = true;
    OnFillServerList();
}

void CServerGroup::OnFillServerList() {
    if (!m_bFilling || !::IsWindow(m_list.GetHwnd())) return;
    if (!FillSome()) {
        ::PostMessageW(m_owner.GetHwnd(), WM_FILL_SERVER_LIST, 0, 0);
        return;
    }
    m_bFilling = false;
    StartSweep();
}

void CServerGroup::StartSweep() {
    auto sweep = CSweepThread::Create(&CServerGroup::SweepThreadProc, m_list.GetHwnd(), m_entries);
    if (!sweep) return;
    // Stored before the thread runs, so its final clearing always comes after.
    m_pSweep = sweep;
    g_pSweepThread = sweep.get();
    sweep->Resume();
}

BOOL CServerGroup::StopSweep() {
    // Our own reference: a stop nested in the wait below may drop the member,
    // and the handle we wait on must stay this thread's until we are done.
    std::shared_ptr<CSweepThread> sweep = m_pSweep;
    CSweepThread* running = g_pSweepThread;
    if (!running || !sweep) {
        if (m_nStopping == 0) g_bStopSweep = false;
        if (m_pSweep == sweep) m_pSweep.reset();
        return TRUE;
    }
    ++m_nStopping;
    g_bStopSweep = true;
    // The probe under way would only run into its time-out; its entry is being
    // discarded anyway.
    sweep->RequestStop();
    HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    DWORD r = WaitAnsweringSentMessages(sweep->GetHandle(), kStopSweepTimeoutMs);
    ::SetCursor(previous);
    --m_nStopping;
    if (m_nStopping == 0) g_bStopSweep = false;
    // Forget the thread either way; one that did not end stops on its own at
    // its next check, since it is no longer the current sweep.
    CSweepThread* expected = running;
    g_pSweepThread.compare_exchange_strong(expected, nullptr);
    if (m_pSweep == sweep) m_pSweep.reset();
    return r == WAIT_OBJECT_0 ? TRUE : FALSE;
}

void CServerGroup::ClearServerList() {
    if (m_list.GetHwnd()) {
        m_list.View().DeleteAllItems();
        if (m_bFilling) m_list.View().SetRedraw(true);
        m_list.FitColumns();
    }
    // A sweep still holding an entry keeps it alive until it ends.
    m_entries.clear();
    m_nShown = 0;
    m_bFilling = false;
}

bool CServerGroup::LoadServerList(const std::wstring& path) {
    std::vector<ServerLine> lines;
    if (!CServerListFile::Read(path, lines)) {
        CAppBase* app = CAppBase::Get();
        std::wstring text = L"서버 목록 파일을 열 수 없습니다.\n" + path;
        if (app) app->MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    m_entries.reserve(m_entries.size() + lines.size());
    for (auto& line : lines) {
        auto entry = std::make_shared<CServerEntry>(line.name, line.address);
        entry->m_pOwnerView = &m_owner;
        m_entries.push_back(std::move(entry));
    }
    return true;
}

bool CServerGroup::FillSome() {
    CListView list = m_list.View();
    // Without redrawing, an insert into a list that overflows its view does not
    // update the scroll bar each time; redrawing resumes once all rows are in.
    list.SetRedraw(false);
    DWORD start = ::GetTickCount();
    int row = RowCount();
    for (; m_nShown < m_entries.size() && ::GetTickCount() - start < kFillStepMs; ++m_nShown) {
        if (list.InsertItem(row, reinterpret_cast<LPARAM>(m_entries[m_nShown].get())) >= 0) ++row;
    }
    if (m_nShown < m_entries.size()) return false;
    list.SetRedraw(true);
    m_list.FitColumns();
    ::InvalidateRect(list, nullptr, TRUE);
    return true;
}

void CServerGroup::RepaintRow(CListView list, const CServerEntry* entry, bool now) {
    int row = list.FindItemData(reinterpret_cast<LPARAM>(entry));
    if (row < 0) return;
    list.RedrawItems(row, row);
    if (now) ::UpdateWindow(list);
}

UINT CServerGroup::SweepThreadProc(CSweepThread* thread) {
    CListView list(thread->GetList());
    // Measured in list order; entries loaded after the start are not measured.
    for (const auto& entry : thread->GetEntries()) {
        entry->m_wResponse = RESPONSE_MEASURING;
        // Painted before the probe starts, so that the user-interface thread is
        // free to handle the connect notification the moment it arrives.
        RepaintRow(list, entry.get(), true);
        g_pProbedEntry = entry.get();
        entry->MeasureResponse(thread->GetStopEvent());
        CServerEntry* probed = entry.get();
        g_pProbedEntry.compare_exchange_strong(probed, nullptr);
        if (g_bStopSweep || g_pSweepThread != thread) return 0;
        RepaintRow(list, entry.get(), false);
    }
    list.SortItems(&CServerGroup::CompareResponse, 0);
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
    // Only for the probe under way; the probe itself tells an accepted
    // connection from a refused one.
    CServerEntry* entry = ProbedEntry();
    if (entry && IsCurrentEntry(entry) && entry->m_socket == static_cast<SOCKET>(socket)) entry->OnConnectNotify();
}
