#include "Manifest.h"

#include <windows.h>

#include <cwctype>
#include <unordered_map>

namespace {

// The profile functions read into 512-character buffers.
constexpr size_t kMaxText = 511;

std::wstring Decode(const std::string& bytes) {
    auto convert = [](UINT codePage, const char* data, int size) {
        std::wstring text(size, L'\0');
        int n = size ? ::MultiByteToWideChar(codePage, 0, data, size, text.data(), size) : 0;
        text.resize(n > 0 ? n : 0);
        return text;
    };
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        memcpy(text.data(), bytes.data() + 2, text.size() * 2);
        return text;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return convert(CP_UTF8, bytes.data() + 3, static_cast<int>(bytes.size() - 3));
    // A manifest without a byte-order mark is ANSI text, as the profile functions take it.
    return convert(CP_ACP, bytes.data(), static_cast<int>(bytes.size()));
}

std::wstring Trim(const std::wstring& text) {
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Section and key names compare without regard to case: folded once, then compared exactly.
std::wstring Folded(std::wstring name) {
    if (!name.empty()) ::CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

struct Section {
    std::vector<std::pair<std::wstring, std::wstring>> keys;  // folded name, value
};

// The sections in file order, and each name's first section, looked up once
// per key instead of scanning every section (a manifest may hold many).
struct Sections {
    std::vector<Section> list;
    std::unordered_map<std::wstring, size_t> first;
};

Sections ReadSections(const std::wstring& text) {
    Sections sections;
    bool inSection = false;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = Trim(text.substr(at, end - at));
        at = end + 1;
        if (line.empty()) continue;
        if (line[0] == L'[') {
            size_t close = line.rfind(L']');
            std::wstring name = Trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            sections.first.emplace(Folded(std::move(name)), sections.list.size());
            sections.list.emplace_back();
            inSection = true;
            continue;
        }
        // Lines before the first section belong to none.
        if (!inSection) continue;
        size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        sections.list.back().keys.push_back({Folded(Trim(line.substr(0, equals))), Trim(line.substr(equals + 1))});
    }
    return sections;
}

// The first section and the first key of that name, as the profile functions find them.
const std::wstring* Find(const Sections& sections, const wchar_t* section, const wchar_t* key) {
    auto found = sections.first.find(Folded(section));
    if (found == sections.first.end()) return nullptr;
    const std::wstring folded = Folded(key);
    for (const auto& k : sections.list[found->second].keys)
        if (k.first == folded) return &k.second;
    return nullptr;
}

std::wstring Text(const Sections& sections, const wchar_t* section, const wchar_t* key) {
    const std::wstring* value = Find(sections, section, key);
    if (!value) return std::wstring();
    std::wstring text = *value;
    // Matching quotes around a value are not part of it.
    if (text.size() >= 2 && (text[0] == L'"' || text[0] == L'\'') && text.back() == text[0])
        text = text.substr(1, text.size() - 2);
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}

// Leading blanks, a sign and the digits up to the first other character; 0 without digits.
int Integer(const std::wstring& text) {
    size_t at = 0;
    while (at < text.size() && std::iswspace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) negative = text[at++] == L'-';
    unsigned long long value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + (text[at] - L'0');
        if (value > 0x7FFFFFFFull) value = 0x80000000ull;  // saturates instead of wrapping
    }
    if (negative) return value >= 0x80000000ull ? INT_MIN : -static_cast<int>(value);
    return value >= 0x80000000ull ? INT_MAX : static_cast<int>(value);
}

}  // namespace

bool CManifest::Parse(const std::string& bytes, CManifest* out) {
    *out = CManifest();
    Sections sections = ReadSections(Decode(bytes));
    int total = Integer(Text(sections, L"Count", L"Total"));
    if (total > kMaxTotal) return false;
    out->m_nTotal = total > 0 ? total : 0;
    out->m_strRelease = Text(sections, L"Count", L"Release");
    for (int i = 1; i <= out->m_nTotal; ++i) {
        std::wstring section = L"File" + std::to_wstring(i);
        Entry entry;
        entry.name = Text(sections, section.c_str(), L"Filename");
        entry.version = Text(sections, section.c_str(), L"Fileversion");
        std::wstring size = Text(sections, section.c_str(), L"Filesize");
        entry.size = Integer(size);
        entry.hasSize = !size.empty();
        entry.hash = Text(sections, section.c_str(), L"Filehash");
        out->m_entries.push_back(std::move(entry));
    }
    return true;
}
