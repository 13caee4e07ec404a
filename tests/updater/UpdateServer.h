#pragma once
// The stand-in update server (tools/update_server.py) on loopback; the proxy setting (Registry.h) points start.exe at it.
#include <windows.h>

#include "TestSupport.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Processes.h"

namespace testing_support {

class UpdateServer {
public:
    ~UpdateServer() { Stop(); }
    // Serves releaseFolder; faults are "NAME=KIND"; refuse: nothing listens on the port.
    bool Start(const std::wstring& releaseFolder, const std::vector<std::wstring>& faults = {}, bool refuse = false);
    void Stop();

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

// An installation of start.exe (keyless, or built with the test publisher key) and the launcher stand-in of
// version 3, beside a release of the stand-in of version 4 and a list file, served through the proxy setting.
class UpdaterInstallation {
public:
    explicit UpdaterInstallation(bool keyed);
    ~UpdaterInstallation();
    // The folders are made and the release published.
    bool Ready() const { return m_bReady; }
    // Writes the manifest of entries; with the key, numbered as the next release and signed.
    bool Publish();
    // Serves the release with these faults until the next call.
    bool Serve(const std::vector<std::wstring>& faults = {});
    UpdateServer& Server() { return *m_server; }
    bool Start(Process* updater) const;
    // Runs the started updater to its end, answering the failure box, while its working set is sampled;
    // the time from now to the box or the launcher's start is in handOverMs (all bits set: neither came).
    DWORD Finish(Process& updater);
    // The launcher's starts so far, once there are expected of them or 10 s passed.
    int LauncherStarts(int expected) const;
    // The release number the updater keeps as its floor; 0 for none.
    int AcceptedRelease() const;

    const bool keyed;
    std::wstring program, release;
    std::vector<ManifestEntry> entries;
    bool boxShown = false;
    SIZE_T peakWorkingSet = 0;
    DWORD handOverMs = 0;

private:
    bool m_bReady = false;
    int m_nRelease = 4;
    std::wstring m_signing;
    std::unique_ptr<UpdateServer> m_server;
    std::unique_ptr<ProxySetting> m_proxy;
};

// The launcher stand-in's starts in program (a folder) so far, once there are expected of them or 10 s passed:
// the updater may end before the launcher it started has written its line.
int LauncherStarts(const std::wstring& program, int expected);

// The size of the largest file written under each folder (and its subfolders)
// while the watch lives, whose path contains that folder's mark.
class DiskWatch {
public:
    DiskWatch(std::vector<std::pair<std::wstring, std::wstring>> foldersAndMarks);
    ~DiskWatch();
    unsigned long long Largest() const { return m_largest; }

private:
    void Scan(const std::wstring& folder, const std::wstring& mark);
    std::vector<std::pair<std::wstring, std::wstring>> m_folders;
    FILETIME m_start{};
    std::atomic<unsigned long long> m_largest{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
// The platform's download cache of this user.
std::wstring InternetCacheFolder();

// A file's bytes; a missing file reads as a text naming it, so two never match.
std::string FileBytes(const std::wstring& path);
// A value of the record the updater keeps in its program folder (start.INI), or empty.
std::wstring RecordText(const std::wstring& programFolder, const wchar_t* section, const wchar_t* key);
// The version that record keeps for a file, or empty.
std::wstring RecordedVersion(const std::wstring& programFolder, const std::wstring& name);
// Waits for a started start.exe to end, pressing OK on each message box it shows;
// its exit code (STILL_ACTIVE after 90 s), the last box's text in *boxText (empty: none).
DWORD RunUpdaterToEnd(Process& updater, std::wstring* boxText);
// Entries {Filename, Fileversion, Filesize} under their Total.
bool WriteManifest(const std::wstring& path, const std::vector<ManifestEntry>& entries);
// Runs tools/release.py with host-path arguments; true once FOLDER's version.ini.sig is written anew.
bool RunReleaseTool(const std::vector<std::wstring>& args, const std::wstring& releaseFolder);

}  // namespace testing_support
