#pragma once
// The server group on show and its measurement sweep: the entries behind the
// list's rows, the loading of the list files, and the worker thread that
// probes every entry and sorts the list at the end.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CListView;
class CServerEntry;
class CServerListCtrl;
class CSweepThread;
class CWindow;

// Process-wide state of the sweep, shared by the user-interface thread and the
// sweep thread.
extern int g_nCurrentGame;                         // game of the current list: 0 StarCraft .. 3 Diablo SW
extern std::atomic<CSweepThread*> g_pSweepThread;  // the running sweep, or null
extern std::atomic<bool> g_bStopSweep;             // asks the sweep to end after its current server
extern std::atomic<CServerEntry*> g_pProbedEntry;  // the entry whose probe is under way

class CServerGroup {
public:
    // owner receives the probes' socket notifications; list shows the entries.
    CServerGroup(CWindow& owner, CServerListCtrl& list) : m_owner(owner), m_list(list) {}
    ~CServerGroup();
    CServerGroup(const CServerGroup&) = delete;
    CServerGroup& operator=(const CServerGroup&) = delete;

    // Stops a sweep, loads file1 (and file2 when it exists) from the program
    // folder for the game, and starts measuring them.
    void SelectServerGroup(const wchar_t* file1, const wchar_t* file2, int game);
    // Stops a sweep and empties the list (another folder was opened).
    void EmptyServerGroup();
    // Loads and measures the group on show again; nothing when none is.
    void Remeasure();
    // FALSE when the running sweep did not end within the wait. Safe to call
    // again from a message answered while it waits.
    BOOL StopSweep();
    void ClearServerList();
    // Appends the servers of one list file; false (after a message) when it cannot be opened.
    bool LoadServerList(const std::wstring& path);
    static UINT SweepThreadProc(CSweepThread* thread);
    static int CALLBACK CompareResponse(LPARAM a, LPARAM b, LPARAM sortData);

    // Inserts the next rows of a list being filled; the last of them starts the sweep.
    void OnFillServerList();
    // A socket notification of the owner: ends the probe it answers.
    void OnConnect(WPARAM socket, LPARAM event);
    // True when the entry is one of the current list's.
    bool IsCurrentEntry(const CServerEntry* entry) const;
    // Of the process, as there is one sweep at a time.
    static bool IsSweeping() { return g_pSweepThread != nullptr; }
    // The game of the list on show (0 StarCraft .. 3 Diablo SW).
    static int CurrentGame() { return g_nCurrentGame; }
    // The entry whose probe is under way, or null.
    static CServerEntry* ProbedEntry() { return g_pProbedEntry; }
    int RowCount() const;

private:
    // A group choice; no file1 means: only stop and empty the list.
    struct Choice {
        std::wstring file1, file2;
        int game = 0;
    };
    void Choose(Choice choice);
    void CarryOut(const Choice& choice);
    // Inserts up to one step of the entries not yet shown; true when none are left.
    bool FillSome();
    void StartSweep();
    // Marks the probed entry's row as being measured (repainted at once) or done.
    static void RepaintRow(CListView list, const CServerEntry* entry, bool now);

    CWindow& m_owner;
    CServerListCtrl& m_list;
    // The entries of the list's rows; the rows' item data point into these.
    std::vector<std::shared_ptr<CServerEntry>> m_entries;
    // How many of them have rows; the rest are inserted a step at a time so
    // that the window keeps answering while a long list fills.
    size_t m_nShown = 0;
    bool m_bFilling = false;
    // The sweep this group started, kept until it has been waited for.
    std::shared_ptr<CSweepThread> m_pSweep;
    // Re-entry: a choice that comes while another is carried out or a stop
    // waits is kept here and carried out after it.
    bool m_bChoosing = false;
    int m_nStopping = 0;
    std::optional<Choice> m_pending;
    // The group last chosen, for a measurement again.
    Choice m_current;
};
