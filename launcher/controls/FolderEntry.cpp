#include "FolderEntry.h"

CFolderEntry::CFolderEntry(const wchar_t* text, int value) : m_strText(text ? text : L""), m_nValue(value) {}
