#include "Download.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "RateWatch.h"
#include "Transfer.h"

namespace {

// The longest the calling thread goes without looking at its messages.
constexpr DWORD kDispatchMs = 50;

const wchar_t* StageText(int stage) {
    return stage == kWaiting ? L"웹사이트를 찾았습니다. 응답을 기다리는중..." : L"파일을 받고 있습니다.";
}

}  // namespace

bool WaitDispatching(IUpdateUi& ui, HANDLE handle, DWORD timeoutMs, bool* cancelled) {
    if (cancelled) *cancelled = false;
    DWORD start = ::GetTickCount();
    for (;;) {
        if (::WaitForSingleObject(handle, 0) != WAIT_TIMEOUT) return true;
        if (ui.PollCancel()) {
            if (cancelled) *cancelled = true;
            return false;
        }
        DWORD spent = ::GetTickCount() - start;
        if (timeoutMs != INFINITE && spent >= timeoutMs) return false;
        ::MsgWaitForMultipleObjects(1, &handle, FALSE, kDispatchMs, QS_ALLINPUT);
    }
}

BOOL DownloadFile(IUpdateUi& ui, const std::wstring& url, IFetchSink& sink, int expectedSize, BOOL showProgress,
                  const FetchLimits& limits, FetchOutcome* outcome) {
    ui.SetStatusText(L"사이트 찾는 중...");
    FetchOutcome result = FetchOutcome::Failed;
    bool progressOpen = false;
    ParsedUrl parsed;
    if (ParseHttpUrl(url, &parsed)) {
        auto shared = std::make_shared<TransferState>();
        std::thread([shared, parsed, limits, expectedSize] {
            CTransfer(shared, parsed, limits.maxBytes, expectedSize).Run();
        }).detach();

        CRateWatch rate(::GetTickCount());
        int shownStage = kFinding;
        unsigned long long taken = 0;
        int lastPosition = INT_MIN;
        auto show = [&](int position) {
            // The display cannot change for an equal position; skipping it keeps large files fast.
            if (position != lastPosition) ui.SetProgress(position);
            lastPosition = position;
        };
        for (;;) {
            std::deque<std::string> pieces;
            int stage;
            bool finished, complete;
            {
                std::lock_guard<std::mutex> guard(shared->lock);
                pieces.swap(shared->pieces);
                shared->queued = 0;
                stage = shared->stage;
                finished = shared->finished;
                complete = shared->complete;
            }
            shared->changed.notify_all();
            while (shownStage < stage) {
                ui.SetStatusText(StageText(++shownStage));
                if (shownStage == kReceiving && showProgress) {
                    ui.OpenProgress();
                    progressOpen = true;
                }
            }
            bool failed = false;
            for (const auto& piece : pieces) {
                if (taken + piece.size() > limits.maxBytes ||
                    !sink.Write(reinterpret_cast<const BYTE*>(piece.data()), piece.size())) {
                    failed = true;
                    break;
                }
                taken += piece.size();
                if (progressOpen) show(ProgressPosition(taken, expectedSize, false));
            }
            if (failed) break;
            if (finished) {
                if (complete) {
                    result = FetchOutcome::Complete;
                    if (progressOpen) {
                        show(ProgressPosition(taken, expectedSize, true));
                        if (ui.PollCancel()) result = FetchOutcome::Cancelled;
                    }
                }
                break;
            }
            if (ui.PollCancel()) {
                result = FetchOutcome::Cancelled;
                break;
            }
            DWORD now = ::GetTickCount();
            if (limits.deadline && static_cast<LONG>(now - limits.deadline) >= 0) break;
            if (limits.requireRate && !rate.Sample(now, taken)) break;
            HANDLE wake = shared->wake.Get();
            ::MsgWaitForMultipleObjects(1, &wake, FALSE, kDispatchMs, QS_ALLINPUT);
        }
        // Whatever the worker still does is no longer wanted: it ends at its next wait, within a slice.
        {
            std::lock_guard<std::mutex> guard(shared->lock);
            shared->abandoned = true;
        }
        shared->changed.notify_all();
    }
    if (showProgress) ui.CloseProgress();
    ui.SetStatusText(L"파일 다운로드 완료.");
    if (outcome) *outcome = result;
    return result == FetchOutcome::Complete ? TRUE : FALSE;
}

int ProgressPosition(unsigned long long taken, int expectedSize, bool complete) {
    if (complete) return 100;
    if (expectedSize <= 0) return 0;
    return static_cast<int>(std::min<unsigned long long>(100, taken * 100 / static_cast<unsigned>(expectedSize)));
}
