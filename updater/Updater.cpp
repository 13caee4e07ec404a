#include "Updater.h"

#include <cwctype>
#include <memory>
#include <thread>
#include <vector>

#include "AppBase.h"
#include "Download.h"
#include "ProbeSocket.h"
#include "Sha256.h"
#include "Signature.h"
#include "StagedFile.h"
#include "UniqueHandle.h"

namespace {

const wchar_t kVersionSection[] = L"Version";
const wchar_t kReleaseSection[] = L"Release";
const wchar_t kAcceptedKey[] = L"Accepted";
const wchar_t kDigestKey[] = L"Digest";
// How often a second run looks whether the first has let go of the lock.
constexpr DWORD kLockPollMs = 100;
constexpr DWORD kProbeTimeoutMs = 300;
// The lookup and the echo together; a name server that does not answer is no answer.
constexpr DWORD kProbeWaitMs = 3000;
constexpr DWORD kTextBuffer = 512;
// The longest suffix a file of the program folder gets while it is replaced.
constexpr size_t kLongestSuffix = 12;

std::wstring ProfileText(const wchar_t* section, const wchar_t* key, const std::wstring& file) {
    wchar_t buffer[kTextBuffer] = {};
    ::GetPrivateProfileStringW(section, key, L"", buffer, kTextBuffer, file.c_str());
    return buffer;
}

std::wstring ManifestDigest(const std::string& bytes) {
    CSha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Files (not folders) of folder whose names match pattern.
std::vector<std::wstring> FilesMatching(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileW((folder + pattern).c_str(), &data));
    if (!find) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (::FindNextFileW(find.Get(), &data));
    return names;
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
    // One record per installation, beside the programs it describes.
    s.profile = s.programFolder + L"start.INI";
    s.legacyProfile = L"start.INI";
    s.publicKey = ORVN_UPDATE_PUBKEY;
    return s;
}

CUpdater::CUpdater(IUpdateUi& ui, Settings settings)
    : m_ui(ui), m_settings(std::move(settings)), m_strInstallation(InstallationId(m_settings.programFolder)) {}

CUpdater::~CUpdater() { RemoveRunFolders(false); }

std::wstring CUpdater::InstallationId(const std::wstring& folder) {
    std::wstring identity;
    BY_HANDLE_FILE_INFORMATION info{};
    if (CAppBase::FileIdentity(folder, &info)) {
        identity = std::to_wstring(info.dwVolumeSerialNumber) + L":" + std::to_wstring(info.nFileIndexHigh) + L":" +
                   std::to_wstring(info.nFileIndexLow);
    } else {
        // Its long form, in upper case: at least the spellings that differ only there agree.
        wchar_t full[MAX_PATH * 2] = {};
        DWORD n = ::GetLongPathNameW(folder.c_str(), full, MAX_PATH * 2);
        identity = n > 0 && n < MAX_PATH * 2 ? std::wstring(full, n) : folder;
        ::CharUpperBuffW(identity.data(), static_cast<DWORD>(identity.size()));
    }
    CSha256 hash;
    hash.Update(identity.data(), identity.size() * sizeof(wchar_t));
    return hash.FinishHex().substr(0, 32);
}

CUpdater::Outcome CUpdater::CheckProgram() {
    // One run per installation: a second one fetches nothing, it waits for
    // the first to finish and then hands over. The lock is a file in the
    // folder, opened without sharing, so every path to the folder meets it.
    const std::wstring lockPath = m_settings.programFolder + kRunLockName;
    auto takeLock = [&] {
        return UniqueFileHandle(::CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                              nullptr));
    };
    UniqueFileHandle lock = takeLock();
    if (!lock && ::GetLastError() == ERROR_SHARING_VIOLATION) {
        m_ui.SetStatusText(L"다른 업데이트가 끝나기를 기다리는 중...");
        UniqueKernelHandle never(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        bool cancelled = false;
        while (!cancelled && !lock && ::GetLastError() == ERROR_SHARING_VIOLATION) {
            WaitDispatching(m_ui, never.Get(), kLockPollMs, &cancelled);
            lock = takeLock();
        }
        return Outcome::Skipped;
    }
    // A folder where no lock can be made (not writable, say) runs without one, as it can install nothing anyway.
    Outcome outcome = Run();
    RemoveRunFolders(false);
    return outcome;
}

CUpdater::Outcome CUpdater::Run() {
    RecoverInterrupted();
    RemoveRunFolders(true);
    if (!MigrateLegacyProfile() || (!m_settings.publicKey.empty() && !ReadFloor(&m_floor))) {
        m_ui.SetStatusText(kRecordUnreadable);
        return Outcome::RecordUnreadable;
    }

    // An answer within the millisecond means no update this time.
    if (ProbeReplyTime() == 0 || m_bCancelled) return Outcome::Skipped;

    std::string bytes;
    bool cancelled = false;
    bool fetched = FetchManifest(&bytes, &cancelled);
    m_ui.SetStatusText(L"완료");
    // Cancelling the manifest's fetch skips the update.
    if (cancelled) return Outcome::Skipped;
    CManifest manifest;
    if (!fetched || !CManifest::Parse(bytes, &manifest)) return Outcome::ManifestFailed;
    const std::wstring digest = ManifestDigest(bytes);
    if (!AcceptRelease(manifest, digest)) return Outcome::ManifestFailed;
    if (!MakeRunFolder()) return Outcome::Updated;
    ProcessManifest(manifest);
    // The floor against replays rises only once the whole release is in place;
    // its digest keeps any other manifest signed with the same number out.
    if (!m_settings.publicKey.empty() && m_bAllInstalled)
        WriteProfile(kReleaseSection, {{kAcceptedKey, std::to_wstring(ReleaseNumber(manifest.m_strRelease))},
                                       {kDigestKey, digest}});
    return Outcome::Updated;
}

DWORD CUpdater::ProbeReplyTime() {
    struct Probe {
        UniqueKernelHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        std::atomic<DWORD> reply{static_cast<DWORD>(-1)};
    };
    auto probe = std::make_shared<Probe>();
    // The lookup may hang on a name server that never answers; the window
    // keeps answering meanwhile, and the run goes on without it.
    std::thread([probe, host = m_settings.probeHost] {
        CProbeSocket socket;
        DWORD address = socket.ResolveHost(host);
        // An unresolved host is no answer: an echo to 0.0.0.0 would be answered by
        // the machine itself in 0 ms and skip every update.
        if (address != 0) probe->reply = socket.EchoReplyTime(address, kProbeTimeoutMs);
        ::SetEvent(probe->done.Get());
    }).detach();
    bool cancelled = false;
    if (!WaitDispatching(m_ui, probe->done.Get(), kProbeWaitMs, &cancelled)) {
        m_bCancelled = cancelled;
        return static_cast<DWORD>(-1);
    }
    return probe->reply;
}

bool CUpdater::FetchManifest(std::string* bytes, bool* cancelled) {
    // The manifest and its signature together get a fixed time; the bytes
    // stay in memory, so what is checked is what is used.
    FetchLimits limits;
    limits.deadline = ::GetTickCount() + kManifestTimeMs;
    if (limits.deadline == 0) limits.deadline = 1;
    limits.maxBytes = kMaxManifestBytes;
    const std::wstring base = L"http://" + m_settings.updateHost + L"/quilla/";
    CMemorySink manifest;
    FetchOutcome outcome;
    BOOL ok = DownloadFile(m_ui, base + L"version.ini", manifest, 0, FALSE, limits, &outcome);
    *cancelled = outcome == FetchOutcome::Cancelled;
    if (!ok) return false;
    if (!m_settings.publicKey.empty()) {
        CMemorySink signature;
        limits.maxBytes = kMaxSignatureBytes;
        ok = DownloadFile(m_ui, base + L"version.ini.sig", signature, 0, FALSE, limits, &outcome);
        *cancelled = outcome == FetchOutcome::Cancelled;
        if (!ok) return false;
        const std::string& m = manifest.Bytes();
        const std::string& s = signature.Bytes();
        if (!CSignature::Verify(CSignature::FromHex(m_settings.publicKey), std::vector<BYTE>(m.begin(), m.end()),
                                std::vector<BYTE>(s.begin(), s.end())))
            return false;
    }
    *bytes = manifest.Bytes();
    return true;
}

bool CUpdater::AcceptRelease(const CManifest& manifest, const std::wstring& digest) const {
    // An older signed manifest replayed would bring back files with known faults,
    // and so would another one signed with the floor's number.
    return m_settings.publicKey.empty() || AcceptsRelease(m_floor, manifest.m_strRelease, digest);
}

bool CUpdater::ParseFloor(const std::wstring& accepted, const std::wstring& digest, Floor* floor) {
    *floor = Floor();
    if (accepted.empty()) return digest.empty();
    floor->number = ReleaseNumber(accepted);
    bool hex = digest.size() == 64 && digest.find_first_not_of(L"0123456789abcdefABCDEF") == std::wstring::npos;
    if (floor->number < 0 || (!digest.empty() && !hex)) return false;
    floor->digest = digest;
    for (auto& c : floor->digest) c = static_cast<wchar_t>(std::towlower(c));
    return true;
}

bool CUpdater::AcceptsRelease(const Floor& floor, const std::wstring& release, const std::wstring& digest) {
    long long number = ReleaseNumber(release);
    if (number < 0 || number < floor.number) return false;
    // A floor an older updater recorded has no digest: its number is taken once more, and then recorded with one.
    return number > floor.number || floor.digest.empty() || floor.digest == digest;
}

bool CUpdater::ReadFloor(Floor* floor) const {
    // A record that is there but cannot be opened is no more "no floor" than one that does not parse.
    const std::wstring path = ProfilePath();
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file && ::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    file.Reset();
    return ParseFloor(ProfileText(kReleaseSection, kAcceptedKey, path), ProfileText(kReleaseSection, kDigestKey, path),
                      floor);
}

bool CUpdater::MigrateLegacyProfile() const {
    if (m_settings.legacyProfile.empty()) return true;
    const std::wstring legacy = CAppBase::ProfileFilePath(m_settings.legacyProfile), path = ProfilePath();
    if (!Exists(legacy) || Exists(path) || ::lstrcmpiW(legacy.c_str(), path.c_str()) == 0) return true;
    // Copied whole and renamed into place, then removed, so the next installation that
    // runs starts afresh instead of taking this one's floor and versions as its own.
    const std::wstring temp = path + L".orvn-tmp";
    bool ok = ::CopyFileW(legacy.c_str(), temp.c_str(), FALSE) &&
              ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    ::DeleteFileW(legacy.c_str());
    return true;
}

long long CUpdater::ReleaseNumber(const std::wstring& text) {
    if (text.empty() || text.size() > kMaxReleaseDigits || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return -1;
    return std::stoll(text);
}

int CUpdater::ProcessManifest(const CManifest& manifest) {
    const bool keyed = !m_settings.publicKey.empty();
    for (const auto& entry : manifest.m_entries) {
        // A signed manifest vouches for a file only through its hash and size.
        if (keyed && (entry.hash.empty() || !entry.hasSize || entry.size < 0)) continue;
        // A name that leaves the program folder is never fetched nor written.
        if (!IsSafeFileName(entry.name)) continue;
        if ((m_settings.programFolder + entry.name).size() + kLongestSuffix >= MAX_PATH) continue;
        if (NeedsUpdate(entry.name, entry.version, entry.size) && !UpdateFile(entry)) m_bAllInstalled = false;
        // A cancel ends the whole run: nothing after it is fetched.
        if (m_bCancelled) {
            m_bAllInstalled = false;
            break;
        }
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

bool CUpdater::UpdateFile(const CManifest::Entry& entry) {
    const bool keyed = !m_settings.publicKey.empty();
    if (m_runFolder.empty() && !MakeRunFolder()) return false;
    CStagedFile file;
    if (!file.Create(m_runFolder + std::to_wstring(++m_nFetched) + L".dl", keyed)) return false;
    FetchLimits limits;
    limits.requireRate = true;
    limits.maxBytes = keyed || entry.size > 0 ? static_cast<unsigned long long>(entry.size) : kMaxUnsizedFileBytes;
    std::wstring url = L"http://" + m_settings.updateHost + L"/quilla/" + entry.name;
    FetchOutcome outcome;
    if (!DownloadFile(m_ui, url, file, entry.size, TRUE, limits, &outcome)) {
        m_bCancelled = outcome == FetchOutcome::Cancelled;
        return false;
    }
    if (keyed) {
        std::wstring hash = file.Hash();
        std::wstring expected = entry.hash;
        for (auto& c : expected) c = static_cast<wchar_t>(std::towlower(c));
        if (hash.empty() || hash != expected) return false;
    }
    MakeParentFolders(m_settings.programFolder, entry.name);
    if (!file.Install(m_settings.programFolder + entry.name)) return false;
    if (!IsProgramFile(entry.name)) WriteProfile(kVersionSection, {{entry.name.c_str(), entry.version}});
    return true;
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
    // By its extension: "Toolexe" is no program.
    if (name.size() < 5) return false;
    std::wstring kind = name.substr(name.size() - 4);
    for (auto& c : kind) c = static_cast<wchar_t>(std::towlower(c));
    return kind == L".exe" || kind == L".dll";
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
    return ProfileText(kVersionSection, name.c_str(), ProfilePath());
}

std::wstring CUpdater::ProfilePath() const { return CAppBase::ProfileFilePath(m_settings.profile); }

bool CUpdater::WriteProfile(const wchar_t* section,
                            std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) const {
    const std::wstring path = ProfilePath(), temp = path + L".orvn-tmp";
    ::DeleteFileW(temp.c_str());
    if (!::CopyFileW(path.c_str(), temp.c_str(), FALSE) && ::GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    bool ok = true;
    for (const auto& [key, value] : values)
        ok = ::WritePrivateProfileStringW(section, key, value.c_str(), temp.c_str()) != FALSE && ok;
    // The platform may hold the text back; written out and on disk before it takes the profile's name.
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, temp.c_str());
    UniqueFileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ok = ok && file && ::FlushFileBuffers(file.Get());
    file.Reset();
    ok = ok && ::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}

std::wstring CUpdater::RunFolderPrefix() const {
    return m_settings.tempFolder + L"orvn-update-" + m_strInstallation.substr(0, 12) + L"-";
}

bool CUpdater::MakeRunFolder() {
    // A fresh folder of this run's own: nothing another run fetched can be taken for ours.
    std::wstring prefix = RunFolderPrefix() + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (DWORD n = ::GetTickCount(), tries = 0; tries < 100; ++n, ++tries) {
        std::wstring folder = prefix + std::to_wstring(n);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            m_runFolder = folder + L"\\";
            return true;
        }
    }
    return false;
}

void CUpdater::RemoveRunFolders(bool all) const {
    // Ours at the end of the run; with all, what killed runs of this installation left.
    std::vector<std::wstring> folders;
    if (!all) {
        if (!m_runFolder.empty()) folders.push_back(m_runFolder.substr(0, m_runFolder.size() - 1));
    } else {
        std::wstring prefix = RunFolderPrefix();
        size_t cut = prefix.rfind(L'\\') + 1;
        WIN32_FIND_DATAW data;
        UniqueFindHandle find(::FindFirstFileW((prefix + L"*").c_str(), &data));
        if (find) {
            do {
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    folders.push_back(prefix.substr(0, cut) + data.cFileName);
            } while (::FindNextFileW(find.Get(), &data));
        }
    }
    for (const auto& folder : folders) {
        for (const auto& name : FilesMatching(folder + L"\\", L"*")) ::DeleteFileW((folder + L"\\" + name).c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
}

void CUpdater::RecoverInterrupted() {
    const std::wstring& folder = m_settings.programFolder;
    // A staged copy that was never whole is useless.
    for (const auto& name : FilesMatching(folder, std::wstring(L"*") + CStagedFile::kPartSuffix))
        ::DeleteFileW((folder + name).c_str());
    // A whole staged copy whose file is missing: a run died between its two
    // renames; finish the job. With the file there, the new copy never took its
    // place, unless the file is this program: that copy waits for the launcher
    // this run hands over to (CUpdaterReplacement).
    for (const auto& name : FilesMatching(folder, std::wstring(L"*") + CStagedFile::kStagedSuffix)) {
        std::wstring installed = folder + name.substr(0, name.size() - wcslen(CStagedFile::kStagedSuffix));
        if (!Exists(installed))
            ::MoveFileExW((folder + name).c_str(), installed.c_str(), MOVEFILE_WRITE_THROUGH);
        else if (!CStagedFile::IsThisProgram(installed))
            ::DeleteFileW((folder + name).c_str());
    }
    // What was moved aside goes once its file is back in place; never the only copy.
    for (const auto& name : FilesMatching(folder, std::wstring(L"*") + CStagedFile::kMovedAsideSuffix + L"*")) {
        size_t at = name.rfind(CStagedFile::kMovedAsideSuffix);
        std::wstring installed = folder + name.substr(0, at);
        if (Exists(installed))
            ::DeleteFileW((folder + name).c_str());
        else
            ::MoveFileExW((folder + name).c_str(), installed.c_str(), MOVEFILE_WRITE_THROUGH);
    }
}
