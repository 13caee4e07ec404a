#pragma once
// One game folder of the folder bar: a header plate with the caption and, when
// open, a body of raised tiles (one per entry) with the folder's icon.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "DIB.h"
#include "FolderEntry.h"
#include "UniqueHandle.h"

class CFolderItem {
public:
    static constexpr int kTileHeight = 55;
    static constexpr int kTileInset = 3;

    CFolderItem(const wchar_t* caption, UINT commandValue, UINT iconId);

    void AddEntry(const wchar_t* text, int value);
    // The entry at index, or null.
    CFolderEntry* GetEntry(int index) const;
    int GetEntryCount() const { return static_cast<int>(m_entries.size()); }

    const std::wstring& GetCaption() const { return m_strCaption; }
    UINT GetCommandValue() const { return m_nCommandValue; }

    void DrawHeader(HDC dc, const RECT& header);
    void DrawBody(HDC dc, const RECT& body);

    // Entry k's tile in a body: its 55-pixel row, shrunk by 3 on every side.
    static RECT TileRect(const RECT& body, int k);

private:
    std::vector<std::unique_ptr<CFolderEntry>> m_entries;
    std::wstring m_strCaption;
    CDIB m_bodyPicture;
    CDIB m_headerPicture;
    HICON m_hIcon = nullptr;  // shared resource icon, never destroyed
    UINT m_nCommandValue;
    UniqueGdiObject m_font;
};
