#pragma once
// The update run without any window: probe, manifest, version rule,
// download and installation. The view drives it and shows what it reports.
#include <windows.h>

#include <string>

#include "UpdateUi.h"

class CUpdater {
public:
    struct Settings {
        std::wstring programFolder;  // ends in a backslash
        std::wstring tempFolder;     // ends in a backslash
        std::wstring updateHost;     // host or host:port
        std::wstring probeHost;
        std::wstring profile;        // bare INI name of the recorded versions
    };
    // The deployment: this program's folder, the temp folder, the built-in hosts, "start.INI".
    static Settings Installed();

    CUpdater(IUpdateUi& ui, Settings settings);
    virtual ~CUpdater() = default;

    enum class Outcome { Skipped, Updated, ManifestFailed };
    // The whole run short of the hand-over to the launcher.
    Outcome CheckProgram();

    // The echo reply time of the probe host in milliseconds; -1 (all bits)
    // for no answer, a name that does not resolve included.
    virtual DWORD ProbeReplyTime();

    // Handles the manifest's entries in order; always 0.
    int ProcessManifest(const std::wstring& manifestPath);
    // TRUE when the installed copy of name must be fetched (size is not used).
    BOOL NeedsUpdate(const std::wstring& name, const std::wstring& version, int size);
    // Fetches name and puts it in place; true when the new copy is installed.
    bool UpdateFile(const std::wstring& name, int size, const std::wstring& version);

    // True when name, appended to a folder, names a file inside that folder:
    // relative, no drive or colon, no "." or ".." step, no device name, no
    // characters the file system refuses, short enough for 260-character paths.
    static bool IsSafeFileName(const std::wstring& name);
    // "exe" or "dll" as the last three characters, in any case.
    static bool IsProgramFile(const std::wstring& name);
    // The version text of a file's version resource ("1,0,0,3"); empty when it
    // has none or it cannot be read.
    static std::wstring FileVersionText(const std::wstring& path);

    // Where a file in use is moved aside, and the pattern that finds such files later.
    static constexpr const wchar_t* kMovedAsideSuffix = L".orvn-old";
    static constexpr const wchar_t* kStagingSuffix = L".orvn-new";
    // Removes what earlier runs moved aside and could not delete then.
    void RemoveMovedAside();

private:
    bool Install(const std::wstring& fetched, const std::wstring& installed);
    std::wstring RecordedVersion(const std::wstring& name) const;

    IUpdateUi& m_ui;
    Settings m_settings;
};
