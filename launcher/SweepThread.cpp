#include "SweepThread.h"

#include <process.h>

#include "ServerEntry.h"

std::shared_ptr<CSweepThread> CSweepThread::Create(Procedure proc, HWND list,
                                                   std::vector<std::shared_ptr<CServerEntry>> entries) {
    std::shared_ptr<CSweepThread> thread(new CSweepThread);
    thread->m_hList = list;
    thread->m_proc = proc;
    thread->m_entries = std::move(entries);
    thread->m_self = thread;
    thread->m_hStopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!thread->m_hStopEvent) {
        thread->m_self.reset();
        return nullptr;
    }
    uintptr_t h = _beginthreadex(nullptr, 0, &CSweepThread::Start, thread.get(), CREATE_SUSPENDED, nullptr);
    if (!h) {
        thread->m_self.reset();
        return nullptr;
    }
    thread->m_hThread.Reset(reinterpret_cast<HANDLE>(h));
    return thread;
}

void CSweepThread::Resume() { ::ResumeThread(m_hThread.Get()); }

unsigned __stdcall CSweepThread::Start(void* param) {
    auto* thread = static_cast<CSweepThread*>(param);
    // The last reference may be this one; it goes when the procedure is done.
    std::shared_ptr<CSweepThread> self = std::move(thread->m_self);
    return thread->m_proc(thread);
}
