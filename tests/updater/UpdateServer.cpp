#include "UpdateServer.h"

#include <wininet.h>

#include <algorithm>

#include "AppBase.h"

namespace testing_support {

namespace {

const wchar_t kPython[] = L"Z:\\usr\\bin\\python3";
const char kOldFree[] = "old free list";

// Runs tools/release.py with host-path arguments; true once FOLDER's version.ini.sig is written anew.
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

}  // namespace

UpdaterInstallation::UpdaterInstallation(bool keyedBuild) : keyed(keyedBuild) {
    // No record of an older updater to take over.
    ::DeleteFileW(CAppBase::ProfileFilePath(L"start.INI").c_str());
    root = MakeTempFolder(L"orvn-inst-");
    program = root + L"p\\";
    release = root + L"r\\";
    // The publisher's keys in a folder of this installation: the record of what they signed starts empty.
    const std::wstring keys = L"Z:" ORVN_TEST_SIGNING_FOLDER L"/";
    m_bReady = ::CreateDirectoryW(program.c_str(), nullptr) && ::CreateDirectoryW(release.c_str(), nullptr) &&
               CopyFileTo(keys + L"publisher.pem", root + L"publisher.pem") &&
               CopyFileTo(keys + L"publisher.pem", root + L"again.pem") &&
               CopyFileTo(keys + L"other.pem", root + L"other.pem") &&
               CopyFileTo(keyed ? TestFolder() + L"StartSigned.exe" : DistFolder() + L"start.exe",
                          program + L"start.exe") &&
               Reset() && CopyFileTo(TestFolder() + L"OrvnStandIn4.exe", release + L"Orvn.exe") &&
               WriteFileBytes(release + L"Free.txt", "new free list, longer than the old one");
    entries = {{L"Orvn.exe", L"1,0,0,4", static_cast<int>(FileBytes(release + L"Orvn.exe").size())},
               {L"Free.txt", L"2", 38}};
    m_bReady = m_bReady && Publish();
}

UpdaterInstallation::~UpdaterInstallation() {
    m_proxy.reset();
    m_server.reset();
    // The launcher the last run started may still hold its program for a moment.
    const std::wstring launcher = program + L"Orvn.exe";
    PumpUntil([&] { return ::DeleteFileW(launcher.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; }, 20000);
    RemoveFolder(root);
}

bool UpdaterInstallation::Reset() {
    ::WritePrivateProfileStringW(L"Version", L"Free.txt", L"1", (program + L"start.INI").c_str());
    ::DeleteFileW((program + L"Orvn.exe.log").c_str());
    // The launcher the previous run started may not have ended yet; its program is in use until it does.
    return PumpUntil([&] { return CopyFileTo(TestFolder() + L"OrvnStandIn3.exe", program + L"Orvn.exe"); }, 20000) &&
           WriteFileBytes(program + L"Free.txt", kOldFree);
}

bool UpdaterInstallation::Publish(const wchar_t* key, long long number) {
    if (!WriteManifest(release + L"version.ini", entries)) return false;
    if (!keyed) return true;
    releaseNumber = number ? number : releaseNumber + 1;
    return RunReleaseTool({L"release", UnixPath(root) + key + L".pem", UnixPath(release),
                           std::to_wstring(releaseNumber)},
                          release);
}

bool UpdaterInstallation::Sign() {
    return RunReleaseTool({L"sign", UnixPath(root) + L"publisher.pem", UnixPath(release)}, release);
}

bool UpdaterInstallation::Serve(const std::vector<std::wstring>& faults, bool refuse, const std::wstring& folder) {
    m_proxy.reset();
    m_server = std::make_unique<UpdateServer>();
    if (!m_server->Start(folder.empty() ? release : folder, faults, refuse)) return false;
    m_proxy = std::make_unique<ProxySetting>(m_server->Port());
    return true;
}

HWND UpdaterInstallation::Start(Process* updater, const std::wstring& folder) const {
    const std::wstring where = folder.empty() ? program : folder;
    HWND frame = nullptr;
    if (StartProcess(where + L"start.exe", L"", where, updater))
        PumpUntil([&] { return (frame = FindTopLevel(L"Start", updater->pid)) != nullptr; }, 20000);
    return frame;
}

DWORD UpdaterInstallation::Run(Process* started) {
    Process own;
    Process& updater = started ? *started : own;
    const DWORD start = ::GetTickCount();
    if (!started && !StartProcess(program + L"start.exe", L"", program, &updater)) return ~0u;
    const std::wstring log = program + L"Orvn.exe.log";
    boxText.clear();
    handOverMs = ~0u;
    peakWorkingSet = 0;
    slowestAnswerMs = 0;
    PumpUntil(
        [&] {
            peakWorkingSet = std::max(peakWorkingSet, updater.PeakWorkingSet());
            if (handOverMs == ~0u && CAppBase::FileExists(log)) handOverMs = ::GetTickCount() - start;
            if (HWND frame = FindTopLevel(L"Start", updater.pid)) {
                DWORD sent = ::GetTickCount();
                DWORD_PTR result;
                ::SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
                slowestAnswerMs = std::max(slowestAnswerMs, ::GetTickCount() - sent);
            }
            if (HWND box = WaitForDialog(L"Start", 0, updater.pid)) {
                if (handOverMs == ~0u) handOverMs = ::GetTickCount() - start;
                boxText = DialogText(box);
                ClickDialogButton(box, IDOK);
                PumpUntil([&] { return !::IsWindow(box); }, 10000);
            }
            return updater.Wait(0) != STILL_ACTIVE;
        },
        90000);
    if (handOverMs == ~0u && PumpUntil([&] { return CAppBase::FileExists(log); }, 10000))
        handOverMs = ::GetTickCount() - start;
    return updater.Wait(0);
}

int UpdaterInstallation::LauncherStarts(int expected) const {
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

std::wstring UpdaterInstallation::Record(const wchar_t* section, const wchar_t* key) const {
    wchar_t text[512] = {};
    ::GetPrivateProfileStringW(section, key, L"", text, 512, (program + L"start.INI").c_str());
    return text;
}

bool UpdaterInstallation::Installed(const std::wstring& name) const {
    return FileBytes(release + name) == FileBytes(program + name);
}

bool UpdaterInstallation::Untouched() const {
    WIN32_FIND_DATAW data;
    return FileBytes(TestFolder() + L"OrvnStandIn3.exe") == FileBytes(program + L"Orvn.exe") &&
           FileBytes(program + L"Free.txt") == kOldFree && Record(L"Version", L"Free.txt") == L"1" &&
           !UniqueFindHandle(::FindFirstFileW((program + L"*.orvn-*").c_str(), &data));
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

UpdateServer::~UpdateServer() {
    if (m_bRunning) {
        std::wstring url = L"http://127.0.0.1:" + std::to_wstring(m_nPort) + L"/_quit";
        HINTERNET session = ::InternetOpenW(L"stop", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        ::InternetCloseHandle(::InternetOpenUrlW(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
        ::InternetCloseHandle(session);
    }
    if (!m_strFolder.empty()) RemoveFolder(m_strFolder);
}

int UpdateServer::CountRequests(const std::wstring& name) const {
    // The log has one UTF-8 line per request: "GET main /quilla/NAME".
    std::string log, line = " /quilla/" + ToUtf8(name) + "\n";
    ReadFileBytes(m_strFolder + L"requests.log", &log);
    int count = 0;
    for (size_t at = 0; (at = log.find(line, at)) != std::string::npos; ++at) ++count;
    return count;
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

}  // namespace testing_support
