#pragma once
// The update run without any window: probe, manifest, version rule,
// download and installation. The view drives it and shows what it reports.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "Manifest.h"
#include "UpdateUi.h"

class CUpdater {
public:
    struct Settings {
        std::wstring programFolder;  // ends in a backslash
        std::wstring tempFolder;     // ends in a backslash; each run makes a folder of its own in it
        std::wstring updateHost;     // host or host:port
        std::wstring probeHost;
        // INI of the installation's record (versions, release floor): a bare name (Windows folder) or a full path.
        std::wstring profile;
        // Hex of the publisher's P-256 public key; empty: the manifest is not signed.
        std::string publicKey;
        // The record an older updater kept for every installation; moved to profile once, when that has none.
        std::wstring legacyProfile;
    };
    // The deployment: this program's folder, the temp folder, the built-in hosts, "start.INI" in the
    // program folder (migrated from the Windows folder's).
    static Settings Installed();

    CUpdater(IUpdateUi& ui, Settings settings);
    ~CUpdater();

    // Skipped: no update this time (an echo in 0 ms, a cancel, or another run
    // of this installation that has just finished); ManifestFailed: the
    // manifest could not be fetched or was refused; RecordUnreadable: the
    // installation's record cannot be read or moved here, nothing was fetched.
    enum class Outcome { Skipped, Updated, ManifestFailed, RecordUnreadable };
    // The status of a run that found the record unreadable; fits the window's status line.
    static constexpr const wchar_t* kRecordUnreadable = L"업데이트 기록을 읽을 수 없어 업데이트하지 않았습니다.";
    // The whole run short of the hand-over to the launcher.
    Outcome CheckProgram();

    // Handles the manifest's entries in order, up to a cancel; always 0.
    int ProcessManifest(const CManifest& manifest);
    // TRUE when the installed copy of name must be fetched (size is not used).
    BOOL NeedsUpdate(const std::wstring& name, const std::wstring& version, int size);
    // Fetches the entry's file and puts it in place; true when the new copy is installed.
    bool UpdateFile(const CManifest::Entry& entry);

    // True when name, appended to a folder, names a file inside that folder:
    // relative, no drive or colon, no "." or ".." step, no device name, no
    // characters the file system refuses, short enough for 260-character paths.
    static bool IsSafeFileName(const std::wstring& name);
    // ".exe" or ".dll" at the end, in any case.
    static bool IsProgramFile(const std::wstring& name);
    // The version text of a file's version resource ("1,0,0,3"); empty when it
    // has none or it cannot be read.
    static std::wstring FileVersionText(const std::wstring& path);
    // A whole number of at most kMaxReleaseDigits ASCII digits; -1 otherwise.
    static long long ReleaseNumber(const std::wstring& text);
    static constexpr size_t kMaxReleaseDigits = 18;
    // The release floor of a signed installation: the highest release accepted
    // and the SHA-256 (hex) of its manifest; number -1 without one.
    struct Floor {
        long long number = -1;
        std::wstring digest;  // empty: recorded by an updater that kept none
    };
    // The floor from the record's texts (both empty: none); false when they do not make one.
    static bool ParseFloor(const std::wstring& accepted, const std::wstring& digest, Floor* floor);
    // A release above the floor, or the floor's own manifest (by digest) again.
    static bool AcceptsRelease(const Floor& floor, const std::wstring& release, const std::wstring& digest);
    // The same for every path to folder (drive letters, case, short names): its
    // volume and file id, hashed; the path's text when the folder cannot be opened.
    static std::wstring InstallationId(const std::wstring& folder);
    // The file in the program folder that one run of the installation holds open.
    static constexpr const wchar_t* kRunLockName = L"update.orvn-lock";

    // Bounds of what the network may hand over.
    static constexpr unsigned long long kMaxManifestBytes = 1024 * 1024;
    static constexpr unsigned long long kMaxSignatureBytes = 1024;
    // A file without a size, in a build without a publisher key.
    static constexpr unsigned long long kMaxUnsizedFileBytes = 256ull * 1024 * 1024;
    static constexpr DWORD kManifestTimeMs = 30000;

    // Finishes or undoes what an interrupted run left in the program folder
    // and removes what earlier runs moved aside and could not delete then.
    void RecoverInterrupted();

private:
    Outcome Run();
    // The echo reply time of the probe host in milliseconds; -1 (all bits)
    // for no answer, a name that does not resolve or a lookup that takes too long included.
    DWORD ProbeReplyTime();
    // The manifest's bytes, fetched and (with a publisher key) verified; false when refused.
    bool FetchManifest(std::string* bytes, bool* cancelled);
    bool AcceptRelease(const CManifest& manifest, const std::wstring& digest) const;
    // The signed floor as recorded; false (and the status told) when the record cannot be read.
    bool ReadFloor(Floor* floor) const;
    // The legacy record becomes this installation's when it has none; false when that failed.
    bool MigrateLegacyProfile() const;
    std::wstring RecordedVersion(const std::wstring& name) const;
    std::wstring ProfilePath() const;
    // Replaces the profile in one rename, so a crash leaves the old or the new one.
    bool WriteProfile(const wchar_t* section,
                      std::initializer_list<std::pair<const wchar_t*, std::wstring>> values) const;
    std::wstring RunFolderPrefix() const;
    bool MakeRunFolder();
    void RemoveRunFolders(bool all) const;

    IUpdateUi& m_ui;
    Settings m_settings;
    std::wstring m_strInstallation;  // InstallationId of the program folder
    std::wstring m_runFolder;
    int m_nFetched = 0;
    bool m_bAllInstalled = true;
    bool m_bCancelled = false;
    Floor m_floor;  // read at the start of a signed run
};
