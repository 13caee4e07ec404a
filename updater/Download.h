#pragma once
// One HTTP GET into one local file, on the calling thread.
#include <windows.h>

#include <exception>
#include <string>

#include "UpdateUi.h"

// A fetch that cannot go on: 1 for an unusable URL or refused credentials,
// 2 for a redirect that cannot be followed, 3 for an answer that is not the file.
class CTearException : public std::exception {
public:
    explicit CTearException(int error) : m_nError(error) {}
    const char* what() const noexcept override { return "download failed"; }
    int m_nError;
};

// Waits on the update server are bounded so a silent server cannot hold the
// updater (and the player) for minutes.
constexpr DWORD kNetworkWaitMs = 10000;

// Fetches url into localPath. TRUE only when the whole body arrived and was
// written; FALSE after a cancel in the progress display, a failed transfer, an
// answer other than the file, a body shorter than announced (Content-Length,
// or expectedSize when the server announces none) or a local file that cannot
// be written. expectedSize is the 100 % mark of the progress display.
BOOL DownloadFile(IUpdateUi& ui, const std::wstring& url, const std::wstring& localPath, int expectedSize,
                  BOOL showProgress);
