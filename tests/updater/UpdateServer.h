#pragma once
// The stand-in update server (tools/update_server.py) on loopback; the proxy setting (Registry.h) leads to it.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace testing_support {

class UpdateServer {
public:
    ~UpdateServer();
    // Serves releaseFolder; faults are "NAME=KIND"; refuse: nothing listens on the port.
    bool Start(const std::wstring& releaseFolder, const std::vector<std::wstring>& faults = {}, bool refuse = false);
    int Port() const { return m_nPort; }
    // Requests for /quilla/name so far.
    int CountRequests(const std::wstring& name) const;

private:
    std::wstring m_strFolder;
    int m_nPort = 0;
    bool m_bRunning = false;
};

// One file of a manifest.
struct ManifestEntry {
    std::wstring name, version;
    int size;
};

// An installation of start.exe (keyless, or built with the test publisher key) with the launcher stand-in of
// version 3, an old Free.txt and its record; beside it a release of the stand-in of version 4 and a newer
// Free.txt, served through the proxy setting. All in one folder of its own, the release one level down so
// that a name leaving it stays in that folder.
class UpdaterInstallation {
public:
    explicit UpdaterInstallation(bool keyed);
    ~UpdaterInstallation();
    // The folders are made and the release published.
    bool Ready() const { return m_bReady; }
    // The old launcher, Free.txt and its record again, and no launcher log.
    bool Reset();
    // Writes the manifest of entries; with the key, numbered (the next release unless given) and signed with a
    // copy of the publisher key: "publisher", "again" (a copy that has signed nothing) or "other" (another key).
    bool Publish(const wchar_t* key = L"publisher", long long number = 0);
    // Signs the manifest as it is now, after an edit by hand.
    bool Sign();
    // Serves the release (or another folder) with these faults until the next call.
    bool Serve(const std::vector<std::wstring>& faults = {}, bool refuse = false, const std::wstring& folder = L"");
    UpdateServer& Server() { return *m_server; }
    // Starts start.exe of the program folder (or another path to it) and waits for its window: the frame, or null.
    HWND Start(Process* updater, const std::wstring& folder = L"") const;
    // Runs a started updater (or one it starts) to its end, pressing OK on every box, and returns its exit code
    // (STILL_ACTIVE after 90 s). What it saw is kept below.
    DWORD Run(Process* started = nullptr);
    // The launcher stand-in's starts so far, once there are expected of them or 10 s passed: the updater may end
    // before the launcher it started has written its line.
    int LauncherStarts(int expected) const;
    // A value of the installation's record (start.INI in its folder), or empty.
    std::wstring Record(const wchar_t* section, const wchar_t* key) const;
    // The release's copy of name is installed.
    bool Installed(const std::wstring& name) const;
    // The launcher, Free.txt and its record are still the old ones, and nothing is staged.
    bool Untouched() const;

    const bool keyed;
    std::wstring root, program, release;
    std::vector<ManifestEntry> entries;
    long long releaseNumber = 4;
    // Of the last Run: the last box's text (empty: none), the time from the run's start to the box or the
    // launcher (all bits set: neither), the updater's peak working set and the frame's slowest answer.
    std::wstring boxText;
    DWORD handOverMs = 0;
    SIZE_T peakWorkingSet = 0;
    DWORD slowestAnswerMs = 0;

private:
    bool m_bReady = false;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<ProxySetting> m_proxy;
};

// The text every failed update shows.
constexpr const wchar_t kUpdateFailed[] = L"업데이트정보를 가져오는데 실패하였습니다.";
// A file's bytes; a missing file reads as a text naming it, so two never match.
std::string FileBytes(const std::wstring& path);
// Entries {Filename, Fileversion, Filesize} under their Total.
bool WriteManifest(const std::wstring& path, const std::vector<ManifestEntry>& entries);

}  // namespace testing_support
