#pragma once
// The worker thread of one measurement sweep. It holds its own references to
// the entries it measures, so a list emptied under it can never free an entry
// it is still probing, and a reference to itself until its procedure returns,
// so the handle the view waits on stays valid.
#include <windows.h>

#include <memory>
#include <vector>

#include "UniqueHandle.h"

class CServerEntry;

class CSweepThread {
public:
    using Procedure = UINT (*)(CSweepThread*);

    // Creates the thread suspended; Resume starts it.
    static std::shared_ptr<CSweepThread> Create(Procedure proc, HWND list,
                                                std::vector<std::shared_ptr<CServerEntry>> entries);
    ~CSweepThread() = default;
    CSweepThread(const CSweepThread&) = delete;
    CSweepThread& operator=(const CSweepThread&) = delete;

    void Resume();
    // Ends the probe under way at once; the procedure still checks the stop flag.
    void RequestStop() { ::SetEvent(m_hStopEvent.Get()); }
    HANDLE GetStopEvent() const { return m_hStopEvent.Get(); }
    HANDLE GetHandle() const { return m_hThread.Get(); }
    HWND GetList() const { return m_hList; }
    const std::vector<std::shared_ptr<CServerEntry>>& GetEntries() const { return m_entries; }

private:
    CSweepThread() = default;
    static unsigned __stdcall Start(void* param);

    UniqueKernelHandle m_hThread;
    UniqueKernelHandle m_hStopEvent;
    HWND m_hList = nullptr;
    Procedure m_proc = nullptr;
    std::vector<std::shared_ptr<CServerEntry>> m_entries;
    std::shared_ptr<CSweepThread> m_self;
};
