#pragma once
// What the update logic needs from whoever shows it: status texts, a progress
// display with a cancel request, and the credentials question of a server that
// answers 401. The updater's view is one; the tests bring their own.
#include <windows.h>
#include <wininet.h>

#include <string>

class IUpdateUi {
public:
    virtual ~IUpdateUi() = default;

    virtual void SetStatusText(const std::wstring& text) = 0;

    // The progress display of one transfer: opened before the body is read,
    // closed when the transfer ends whatever its outcome.
    virtual void OpenProgress() = 0;
    virtual void SetProgress(int position) = 0;
    // TRUE once for every cancel request made since the last poll.
    virtual BOOL PollCancel() = 0;
    virtual void CloseProgress() = 0;

    // Asks the user for credentials for this request; TRUE when the request is
    // to be sent again with them.
    virtual BOOL ConfirmCredentials(HINTERNET request) = 0;
};
