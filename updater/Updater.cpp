#include "Updater.h"

#include <cwctype>
#include <vector>

#include "AppBase.h"
#include "Download.h"
#include "ProbeSocket.h"
#include "UniqueHandle.h"

namespace {

const wchar_t kVersionSection[] = L"Version";
constexpr DWORD kProbeTimeoutMs = 300;
constexpr DWORD kTextBuffer = 512;

std::wstring ProfileText(const wchar_t* section, const wchar_t* key, const std::wstring& file) {
    wchar_t buffer[kTextBuffer] = {};
    ::GetPrivateProfileStringW(section, key, L"", buffer, kTextBuffer, file.c_str());
    return buffer;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDeviceName(std::wstring step) {
    // The system maps these names to devices in any folder and with any extension.
    size_t dot = step.find(L'.');
    if (dot != std::wstring::npos) step.resize(dot);
    while (!step.empty() && step.back() == L' ') step.pop_back();
    for (auto& c : step) c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* name : kNames)
        if (step == name) return true;
    if (step.size() == 4 && (step.compare(0, 3, L"COM") == 0 || step.compare(0, 3, L"LPT") == 0)) {
        wchar_t digit = step[3];
        // Superscript digits count as digits here too.
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    }
    return false;
}

// Creates the folders between base and the file name's last separator.
void MakeParentFolders(const std::wstring& base, const std::wstring& name) {
    for (size_t i = 0; i < name.size(); ++i)
        if (IsSeparator(name[i])) ::CreateDirectoryW((base + name.substr(0, i)).c_str(), nullptr);
}

}  // namespace

CUpdater::Settings CUpdater::Installed() {
    Settings s;
    s.programFolder = CAppBase::ProgramFolder();
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    s.tempFolder = temp;
    s.updateHost = ORVN_UPDATE_HOST;
    s.probeHost = ORVN_PROBE_HOST;
    s.profile = L"start.INI";
    return s;
}

CUpdater::CUpdater(IUpdateUi& ui, Settings settings) : m_ui(ui), m_settings(std::move(settings)) {}

CUpdater::Outcome CUpdater::CheckProgram() {
    RemoveMovedAside();

    // An answer within the millisecond means no update this time.
    if (ProbeReplyTime() == 0) return Outcome::Skipped;

    std::wstring manifest = m_settings.tempFolder + L"version.ini";
    BOOL ok = DownloadFile(m_ui, L"http://" + m_settings.updateHost + L"/quilla/version.ini", manifest, 0, FALSE);
    m_ui.SetStatusText(L"완료");
    if (!ok) return Outcome::ManifestFailed;
    ProcessManifest(manifest);
    return Outcome::Updated;
}

DWORD CUpdater::ProbeReplyTime() {
    CProbeSocket probe;
    DWORD address = probe.ResolveHost(m_settings.probeHost);
    // An unresolved host is no answer: an echo to 0.0.0.0 would be answered by
    // the machine itself in 0 ms and skip every update.
    if (address == 0) return static_cast<DWORD>(-1);
    return probe.EchoReplyTime(address, kProbeTimeoutMs);
}

int CUpdater::ProcessManifest(const std::wstring& manifestPath) {
    int total = static_cast<int>(::GetPrivateProfileIntW(L"Count", L"Total", 0, manifestPath.c_str()));
    for (int i = 1; i <= total; ++i) {
        std::wstring section = L"File" + std::to_wstring(i);
        std::wstring name = ProfileText(section.c_str(), L"Filename", manifestPath);
        std::wstring version = ProfileText(section.c_str(), L"Fileversion", manifestPath);
        int size = static_cast<int>(::GetPrivateProfileIntW(section.c_str(), L"Filesize", 0, manifestPath.c_str()));
        // A name that leaves the program folder is never fetched nor written.
        if (!IsSafeFileName(name)) continue;
        if ((m_settings.programFolder + name + kMovedAsideSuffix).size() >= MAX_PATH ||
            (m_settings.tempFolder + name).size() >= MAX_PATH)
            continue;
        if (NeedsUpdate(name, version, size)) UpdateFile(name, size, version);
    }
    return 0;
}

BOOL CUpdater::NeedsUpdate(const std::wstring& name, const std::wstring& version, int) {
    std::wstring path = m_settings.programFolder + name;
    if (!IsProgramFile(path)) {
        // The new recorded version is written once the file is installed
        // (UpdateFile), so a failed fetch is tried again next run.
        if (RecordedVersion(name) != version) return TRUE;
    }
    if (!CAppBase::FileExists(path)) return TRUE;
    DWORD handle = 0;
    if (::GetFileVersionInfoSizeW(path.c_str(), &handle) == 0) return FALSE;
    std::wstring installed = FileVersionText(path);
    if (installed.empty()) return FALSE;
    return installed != version ? TRUE : FALSE;
}

std::wstring CUpdater::FileVersionText(const std::wstring& path) {
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return std::wstring();
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::wstring();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::wstring();
    wchar_t text[64];
    swprintf(text, 64, L"%d,%d,%d,%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

bool CUpdater::IsProgramFile(const std::wstring& name) {
    if (name.size() < 3) return false;
    std::wstring kind = name.substr(name.size() - 3);
    for (auto& c : kind) c = static_cast<wchar_t>(std::towlower(c));
    return kind == L"exe" || kind == L"dll";
}

bool CUpdater::IsSafeFileName(const std::wstring& name) {
    if (name.empty() || name.size() >= MAX_PATH) return false;
    for (wchar_t c : name)
        if (c < 32 || wcschr(L"<>:\"|?*", c)) return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        std::wstring step = name.substr(start, end - start);
        // Empty steps catch leading separators (absolute and UNC paths) and
        // trailing ones; a step of dots and blanks is ".", ".." or trimmed to one.
        if (step.empty() || step.find_first_not_of(L". ") == std::wstring::npos) return false;
        // The system trims trailing dots and blanks, so "a." and "a" are one file.
        if (step.back() == L'.' || step.back() == L' ') return false;
        if (IsDeviceName(step)) return false;
        if (end == name.size()) return true;
        start = end + 1;
    }
}

std::wstring CUpdater::RecordedVersion(const std::wstring& name) const {
    return ProfileText(kVersionSection, name.c_str(), m_settings.profile);
}

bool CUpdater::UpdateFile(const std::wstring& name, int size, const std::wstring& version) {
    std::wstring url = L"http://" + m_settings.updateHost + L"/quilla/" + name;
    std::wstring fetched = m_settings.tempFolder + name;
    std::wstring installed = m_settings.programFolder + name;
    MakeParentFolders(m_settings.tempFolder, name);
    if (!DownloadFile(m_ui, url, fetched, size, TRUE)) return false;
    MakeParentFolders(m_settings.programFolder, name);
    if (!Install(fetched, installed)) return false;
    if (!IsProgramFile(name))
        ::WritePrivateProfileStringW(kVersionSection, name.c_str(), version.c_str(), m_settings.profile.c_str());
    return true;
}

bool CUpdater::Install(const std::wstring& fetched, const std::wstring& installed) {
    // The new copy is written beside the installed one and renamed over it in
    // one step: a crash or a full disk leaves the old file or the new one.
    std::wstring staging = installed + kStagingSuffix;
    if (!::CopyFileW(fetched.c_str(), staging.c_str(), FALSE)) {
        ::DeleteFileW(staging.c_str());
        return false;
    }
    const DWORD replace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (::MoveFileExW(staging.c_str(), installed.c_str(), replace)) return true;

    // A running program (this updater, or a launcher still open) cannot be
    // overwritten but can be renamed: move it aside and remove it later.
    std::wstring aside = installed + kMovedAsideSuffix;
    for (int n = 1; ::GetFileAttributesW(aside.c_str()) != INVALID_FILE_ATTRIBUTES && !::DeleteFileW(aside.c_str());
         ++n)
        aside = installed + kMovedAsideSuffix + std::to_wstring(n);
    if (!::MoveFileExW(installed.c_str(), aside.c_str(), 0)) {
        ::DeleteFileW(staging.c_str());
        return false;
    }
    if (!::MoveFileExW(staging.c_str(), installed.c_str(), replace)) {
        ::MoveFileExW(aside.c_str(), installed.c_str(), 0);
        ::DeleteFileW(staging.c_str());
        return false;
    }
    ::DeleteFileW(aside.c_str());
    return true;
}

void CUpdater::RemoveMovedAside() {
    for (const wchar_t* suffix : {kMovedAsideSuffix, kStagingSuffix}) {
        std::wstring pattern = m_settings.programFolder + L"*" + suffix + L"*";
        WIN32_FIND_DATAW data;
        UniqueFindHandle find(::FindFirstFileW(pattern.c_str(), &data));
        if (!find) continue;
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileW((m_settings.programFolder + data.cFileName).c_str());
        } while (::FindNextFileW(find.Get(), &data));
    }
}
