#pragma once
// What the update logic needs from whoever shows it: status texts and a
// progress display with a cancel request. The updater's view is one; the tests
// bring their own.
#include <windows.h>

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
};
