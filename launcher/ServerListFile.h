#pragma once
// The server list file: one "name,address" per line in code page 949, lines
// ending in CR LF (LF or CR alone and a last line without end are read too);
// the list ends at the first empty line.
#include <windows.h>

#include <string>
#include <vector>

struct ServerLine {
    std::wstring name;
    std::wstring address;
};

class CServerListFile {
public:
    // Longer lines are cut to this many bytes; no name or address comes near it.
    static constexpr size_t kMaxLineBytes = 1024;
    // A list ends after this many servers (a sweep over them would take a day).
    static constexpr size_t kMaxServers = 100000;

    // False when the file cannot be opened; lines holds what was read.
    static bool Read(const std::wstring& path, std::vector<ServerLine>& lines);
    // Rewrites the whole file; the old file stays until the new one is complete.
    static bool Write(const std::wstring& path, const std::vector<ServerLine>& lines);

    // For an editor of the list: the servers as Read gives them, and in rest
    // the bytes from the first empty line on, which no reader ever sees.
    static bool ReadWithRest(const std::wstring& path, std::vector<ServerLine>& lines, std::string& rest);
    // Writes the servers, then rest unchanged; same guarantees as Write.
    static bool WriteWithRest(const std::wstring& path, const std::vector<ServerLine>& lines, const std::string& rest);
    // Why a name cannot be stored in a list file, or null when it can: a
    // comma would end it early, a line end would split the line, and a
    // character code page 949 lacks would be written as '?'.
    static const wchar_t* NameProblem(const std::wstring& name);

    // Splits one line (without its end) at its first comma. A line without a
    // comma names no server: false.
    static bool ParseLine(const std::string& line, ServerLine& out);
    // Every server of the text up to the first empty line.
    static std::vector<ServerLine> Parse(const std::string& bytes);
    // Where the first empty line of the text starts; its size when there is none.
    static size_t FirstEmptyLine(const std::string& bytes);
};
