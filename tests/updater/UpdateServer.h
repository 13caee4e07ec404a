#pragma once
// The stand-in update server (tools/update_server.py) on loopback; the proxy setting (Registry.h) points start.exe at it.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

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
// The version the updater's profile records for a file, or empty.
std::wstring RecordedVersion(const std::wstring& name);
// Entries {Filename, Fileversion, Filesize} under their Total.
struct ManifestEntry {
    std::wstring name, version;
    int size;
};
bool WriteManifest(const std::wstring& path, const std::vector<ManifestEntry>& entries);
// The starts the launcher stand-in (Orvn.exe of folder) has logged, once there are
// expected of them or 10 s passed: an updater may end before its launcher has logged.
int LauncherStarts(const std::wstring& folder, int expected);
// Runs tools/release.py with host-path arguments; true once FOLDER's version.ini.sig is written anew.
bool RunReleaseTool(const std::vector<std::wstring>& args, const std::wstring& releaseFolder);

}  // namespace testing_support
