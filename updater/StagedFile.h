#pragma once
// One fetched file on its way into the program folder. The bytes arrive into
// a file of the run's own folder that nobody else can open, are hashed as they
// arrive, and are copied from that same open file into a staged copy beside
// the installed one, which is flushed and renamed into place through its own
// handle: what was checked is what gets installed.
#include <windows.h>

#include <string>

#include "FetchSink.h"
#include "Sha256.h"
#include "UniqueHandle.h"
#include "UpdaterReplacement.h"

class CStagedFile : public IFetchSink {
public:
    // Where a file in use is moved aside, where a staged copy is written, and
    // the name it takes once it is whole and flushed.
    static constexpr const wchar_t* kMovedAsideSuffix = CUpdaterReplacement::kMovedAsideSuffix;
    static constexpr const wchar_t* kPartSuffix = L".orvn-part";
    static constexpr const wchar_t* kStagedSuffix = CUpdaterReplacement::kWaitingSuffix;

    // Creates the download file at path (a fresh name in the run's folder);
    // it is removed when this object goes. With hash, the bytes are hashed as they arrive.
    bool Create(const std::wstring& path, bool hash);
    bool Write(const BYTE* data, size_t size) override;
    // Lower-case hex SHA-256 of everything written; empty when hashing failed
    // or was not asked for. Call once, after the last Write.
    std::wstring Hash();
    // Puts the downloaded bytes in place of installed (a full path). The old
    // file stays when anything fails; a file in use is moved aside first. This
    // program's own file keeps its name: the new copy waits beside it
    // (CUpdaterReplacement), and true means it waits there whole.
    bool Install(const std::wstring& installed);
    // True when path is the program this process runs.
    static bool IsThisProgram(const std::wstring& path);

private:
    bool Stage(HANDLE staged);

    UniqueFileHandle m_file;
    CSha256 m_hash;
    bool m_bHash = false;
};
