#pragma once
#include <string>

// One tile of a folder: its caption and the value it stands for.
class CFolderEntry {
public:
    CFolderEntry(const wchar_t* text, int value);

    const std::wstring& GetText() const { return m_strText; }
    int GetValue() const { return m_nValue; }

private:
    std::wstring m_strText;
    int m_nValue;
};
