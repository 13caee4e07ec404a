#pragma once
// One HTTP GET. The transfer runs on a worker thread; the calling
// (user-interface) thread hands the bytes to a sink, shows the stages and the
// progress, and keeps dispatching messages, so the windows stay alive and
// Cancel works however the server behaves.
#include <windows.h>

#include <string>

#include "FetchSink.h"
#include "UpdateUi.h"

struct FetchLimits {
    // The body may not be longer; the fetch fails the moment it would be.
    unsigned long long maxBytes = 0;
    // GetTickCount by which the fetch must have ended; 0 for none.
    DWORD deadline = 0;
    // Fail by the rules of CRateWatch.
    bool requireRate = false;
};

enum class FetchOutcome { Complete, Failed, Cancelled };

// Fetches url into sink. TRUE only when the whole body arrived within the
// limits and the sink took it; FALSE after a cancel in the progress display
// (or, without it, in the window), a failed transfer, an answer other than the
// file, a body shorter than announced (Content-Length, or expectedSize when the
// server announces none) or a sink that refused. expectedSize is the 100 %
// mark of the progress display.
BOOL DownloadFile(IUpdateUi& ui, const std::wstring& url, IFetchSink& sink, int expectedSize, BOOL showProgress,
                  const FetchLimits& limits, FetchOutcome* outcome = nullptr);

// Dispatches messages until handle is signalled (true), timeoutMs passed or
// the user cancelled (false; *cancelled tells which).
bool WaitDispatching(IUpdateUi& ui, HANDLE handle, DWORD timeoutMs, bool* cancelled = nullptr);

// The share of a file that has arrived, 0 to 100, as the progress bar and its label show it: the true share while
// it arrives (0 while its size is not known), 100 once the whole file is in.
int ProgressPosition(unsigned long long taken, int expectedSize, bool complete);
