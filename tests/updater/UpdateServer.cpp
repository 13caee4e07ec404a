#include "UpdateServer.h"

#include <algorithm>

#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "AppBase.h"
#include "TestSupport.h"

namespace testing_support {

namespace {
const wchar_t kPython[] = L"Z:\\usr\\bin\\python3";
}  // namespace

UpdaterInstallation::UpdaterInstallation(bool keyedBuild) : keyed(keyedBuild) {
    // No record of an older updater to take over; this installation's own says Free.txt 1 is in.
    ::DeleteFileW(CAppBase::ProfileFilePath(L"start.INI").c_str());
    program = MakeTempFolder(L"orvn-inst-prog-");
    release = MakeTempFolder(L"orvn-inst-rel-");
    ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"1", (program + L"start.INI").c_str());
    // The publisher's key in a folder of this installation: the record of what it signed starts empty.
    m_signing = MakeTempFolder(L"orvn-inst-key-");
    CopyFileTo(L"Z:" ORVN_TEST_SIGNING_FOLDER L"/publisher.pem", m_signing + L"publisher.pem");
    std::wstring updater = keyed ? TestFolder() + L"StartSigned.exe" : DistFolder() + L"start.exe";
    m_bReady = CopyFileTo(updater, program + L"start.exe") &&
               CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", program + L"Orvn.exe") &&
               WriteFileBytes(program + L"Free.txt", "old free list") &&
               CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", release + L"Orvn.exe") &&
               WriteFileBytes(release + L"Free.txt", "new free list, longer than the old one");
    entries = {{L"Orvn.exe", L"1,0,0,4", static_cast<int>(FileBytes(release + L"Orvn.exe").size())},
               {L"Free.txt", L"2", 38}};
    m_bReady = m_bReady && Publish();
}

UpdaterInstallation::~UpdaterInstallation() {
    m_proxy.reset();
    m_server.reset();
    // The launcher the run started may still hold its program for a moment.
    const std::wstring launcher = program + L"Orvn.exe";
    PumpUntil([&] { return ::DeleteFileW(launcher.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; }, 20000);
    RemoveFolder(program);
    RemoveFolder(release);
    RemoveFolder(m_signing);
}

bool UpdaterInstallation::Publish() {
    if (!WriteManifest(release + L"version.ini", entries)) return false;
    if (!keyed) return true;
    return RunReleaseTool({L"release", UnixPath(m_signing) + L"publisher.pem", UnixPath(release),
                           std::to_wstring(++m_nRelease)}, release);
}

bool UpdaterInstallation::Serve(const std::vector<std::wstring>& faults) {
    m_proxy.reset();
    m_server = std::make_unique<UpdateServer>();
    if (!m_server->Start(release, faults)) return false;
    m_proxy = std::make_unique<ProxySetting>(m_server->Port());
    return true;
}

bool UpdaterInstallation::Start(Process* updater) const {
    return StartProcess(program + L"start.exe", L"", program, updater);
}

DWORD UpdaterInstallation::Finish(Process& updater) {
    const std::wstring log = program + L"Orvn.exe.log";
    DWORD start = ::GetTickCount();
    HWND box = nullptr;
    handOverMs = ~0u;
    PumpUntil(
        [&] {
            peakWorkingSet = std::max(peakWorkingSet, updater.PeakWorkingSet());
            if (handOverMs == ~0u && CAppBase::FileExists(log)) handOverMs = ::GetTickCount() - start;
            return updater.Wait(0) != STILL_ACTIVE || (box = WaitForDialog(L"Start", 0, updater.pid));
        },
        90000);
    boxShown = box != nullptr;
    // The updater may end before the launcher it started has written its line.
    if (!box && handOverMs == ~0u && PumpUntil([&] { return CAppBase::FileExists(log); }, 10000))
        handOverMs = ::GetTickCount() - start;
    if (box) {
        handOverMs = ::GetTickCount() - start;
        EXPECT_EQ(L"업데이트정보를 가져오는데 실패하였습니다.", DialogText(box));
        ClickDialogButton(box, IDOK);
    }
    return updater.Wait(90000);
}

int UpdaterInstallation::LauncherStarts(int expected) const {
    return testing_support::LauncherStarts(program, expected);
}

int LauncherStarts(const std::wstring& program, int expected) {
    int count = 0;
    PumpUntil(
        [&] {
            std::string log;
            ReadFileBytes(program + L"Orvn.exe.log", &log);
            count = static_cast<int>(std::count(log.begin(), log.end(), '\n'));
            return count >= expected;
        },
        10000);
    return count;
}

int UpdaterInstallation::AcceptedRelease() const {
    return static_cast<int>(::GetPrivateProfileIntW(L"Release", L"Accepted", 0, (program + L"start.INI").c_str()));
}

bool UpdateServer::Start(const std::wstring& releaseFolder, const std::vector<std::wstring>& faults, bool refuse) {
    m_strFolder = MakeTempFolder(L"orvn-server-");
    std::wstring portFile = m_strFolder + L"port.txt";
    // Wine hands a host program its arguments as they are: host paths.
    std::wstring args = L"\"" + std::wstring(ORVN_SOURCE_DIR) + L"/tools/update_server.py\" --root \"" +
                        UnixPath(releaseFolder) + L"\" --port-file \"" + UnixPath(m_strFolder) +
                        L"/port.txt\" --log \"" + UnixPath(m_strFolder) + L"/requests.log\" --max-seconds 900";
    for (const auto& fault : faults) args += L" --fault \"" + fault + L"\"";
    if (refuse) args += L" --refuse";
    // Wine gives no handle to wait on a host program: the port file says it is ready, /_quit ends it.
    Process python;
    if (!StartProcess(kPython, args, L"", &python)) return false;
    std::string text;
    if (!PumpUntil([&] { return ReadFileBytes(portFile, &text) && !text.empty(); }, 20000)) return false;
    m_nPort = std::stoi(text);
    m_bRunning = !refuse;
    return m_nPort > 0;
}

void UpdateServer::Stop() {
    if (!m_bRunning) return;
    m_bRunning = false;
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(m_nPort) + L"/_quit";
    HINTERNET session = ::InternetOpenW(L"stop", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ::InternetCloseHandle(::InternetOpenUrlW(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
    ::InternetCloseHandle(session);
}

int UpdateServer::CountRequests(const std::wstring& name) const {
    // The log has one UTF-8 line per request: "GET main /quilla/NAME".
    std::string log, line = " /quilla/" + ToUtf8(name) + "\n";
    ReadFileBytes(m_strFolder + L"requests.log", &log);
    int count = 0;
    for (size_t at = 0; (at = log.find(line, at)) != std::string::npos; ++at) ++count;
    return count;
}

DiskWatch::DiskWatch(std::vector<std::pair<std::wstring, std::wstring>> foldersAndMarks)
    : m_folders(std::move(foldersAndMarks)) {
    ::GetSystemTimeAsFileTime(&m_start);
    m_thread = std::thread([this] {
        while (!m_stop)
            for (const auto& [folder, mark] : m_folders) Scan(folder, mark);
    });
}

DiskWatch::~DiskWatch() {
    m_stop = true;
    m_thread.join();
}

void DiskWatch::Scan(const std::wstring& folder, const std::wstring& mark) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        std::wstring name = data.cFileName, path = folder + L"\\" + name;
        // The cache's own index is not a download.
        if (name == L"." || name == L".." || name == L"index.dat") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Scan(path, mark);
            continue;
        }
        unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        // Only what is written while the watch lives.
        bool fresh = ::CompareFileTime(&data.ftLastWriteTime, &m_start) >= 0;
        if (fresh && path.find(mark) != std::wstring::npos && size > m_largest) m_largest = size;
    } while (::FindNextFileW(find.Get(), &data));
}

std::wstring InternetCacheFolder() {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, path);
    return path;
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "<no file " + ToUtf8(path) + ">";
}

bool WriteManifest(const std::wstring& path, const std::vector<ManifestEntry>& entries) {
    std::wstring text = L"[Count]\r\nTotal=" + std::to_wstring(entries.size()) + L"\r\n";
    for (size_t i = 0; i < entries.size(); ++i)
        text += L"[File" + std::to_wstring(i + 1) + L"]\r\nFilename=" + entries[i].name + L"\r\nFileversion=" +
                entries[i].version + L"\r\nFilesize=" + std::to_wstring(entries[i].size) + L"\r\n";
    // The manifest is ANSI text of a Korean system.
    return WriteFileBytes(path, ToCp949(text));
}

bool RunReleaseTool(const std::vector<std::wstring>& args, const std::wstring& releaseFolder) {
    std::wstring signature = releaseFolder + L"version.ini.sig";
    ::DeleteFileW(signature.c_str());
    std::wstring line = L"\"" + std::wstring(ORVN_SOURCE_DIR) + L"/tools/release.py\"";
    for (const auto& arg : args) line += L" \"" + arg + L"\"";
    Process python;
    if (!StartProcess(kPython, line, L"", &python)) return false;
    // The tool writes the signature last, in one rename.
    return PumpUntil([&] { return CAppBase::FileExists(signature); }, 30000);
}

std::wstring RecordText(const std::wstring& programFolder, const wchar_t* section, const wchar_t* key) {
    wchar_t text[512] = {};
    ::GetPrivateProfileStringW(section, key, L"", text, 512, (programFolder + L"start.INI").c_str());
    return text;
}

std::wstring RecordedVersion(const std::wstring& programFolder, const std::wstring& name) {
    return RecordText(programFolder, L"Version", name.c_str());
}

DWORD RunUpdaterToEnd(Process& updater, std::wstring* boxText) {
    boxText->clear();
    PumpUntil(
        [&] {
            if (HWND box = WaitForDialog(L"Start", 0, updater.pid)) {
                *boxText = DialogText(box);
                ClickDialogButton(box, IDOK);
                PumpUntil([&] { return !::IsWindow(box); }, 10000);
            }
            return updater.Wait(0) != STILL_ACTIVE;
        },
        90000);
    return updater.Wait(0);
}

}  // namespace testing_support
