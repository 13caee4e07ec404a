#include "FolderItem.h"

#include "Font.h"
#include "resource.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr int kHeaderCell = 4;  // the dark grey plate of the button strip
constexpr SIZE kHeaderCellSize{88, 35};

void FillSolidRect(HDC dc, int x, int y, int cx, int cy, COLORREF color) {
    COLORREF old = ::SetBkColor(dc, color);
    RECT r{x, y, x + cx, y + cy};
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

// One-pixel frame: top and left lines in one colour, right and bottom in the other.
void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    int cx = r.right - r.left, cy = r.bottom - r.top;
    FillSolidRect(dc, r.left, r.top, cx - 1, 1, topLeft);
    FillSolidRect(dc, r.left, r.top, 1, cy - 1, topLeft);
    FillSolidRect(dc, r.right - 1, r.top, 1, cy, bottomRight);
    FillSolidRect(dc, r.left, r.bottom - 1, cx, 1, bottomRight);
}

}  // namespace

CFolderItem::CFolderItem(const wchar_t* caption, UINT commandValue, UINT iconId)
    : m_strCaption(caption ? caption : L""), m_nCommandValue(commandValue) {
    // A missing picture stays empty and draws nothing.
    m_bodyPicture.LoadFromResource(IDB_FOLDER_BODY);
    if (m_headerPicture.LoadFromResource(IDB_BUTTONS)) m_headerPicture.SetDrawSize(kHeaderCellSize);
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId));
    m_font.Reset(Font::CreatePointFont(90, L"굴림"));
}

void CFolderItem::AddEntry(const wchar_t* text, int value) {
    m_entries.push_back(std::make_unique<CFolderEntry>(text, value));
}

CFolderEntry* CFolderItem::GetEntry(int index) const {
    if (index < 0 || index >= GetEntryCount()) return nullptr;
    return m_entries[index].get();
}

RECT CFolderItem::TileRect(const RECT& body, int k) {
    int top = body.top + kTileHeight * k;
    return RECT{body.left + kTileInset, top + kTileInset, body.right - kTileInset, top + kTileHeight - kTileInset};
}

void CFolderItem::DrawHeader(HDC dc, const RECT& header) {
    m_headerPicture.DrawCell(dc, header.left, header.top, kHeaderCell);
    // The DC's stock font is too wide for "WarCraft II" on an 85-pixel plate.
    SelectObjectScope font(dc, m_font.Get());
    ::SetTextColor(dc, kWhite);
    ::SetBkMode(dc, TRANSPARENT);
    RECT text = header;
    ::DrawTextW(dc, m_strCaption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CFolderItem::DrawBody(HDC dc, const RECT& body) {
    RECT whole{0, 0, m_bodyPicture.GetWidth(), m_bodyPicture.GetHeight()};
    m_bodyPicture.Draw(dc, &body, &whole);

    SelectObjectScope font(dc, m_font.Get());
    ::SetTextColor(dc, kWhite);
    ::SetBkMode(dc, TRANSPARENT);
    Draw3dRect(dc, body, kBlack, kWhite);  // sunken

    for (int k = 0; k < GetEntryCount(); ++k) {
        RECT tile = TileRect(body, k);
        Draw3dRect(dc, tile, kWhite, kBlack);  // raised
        ::DrawTextW(dc, m_entries[k]->GetText().c_str(), -1, &tile, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
        if (m_hIcon) ::DrawIcon(dc, tile.left + (tile.right - tile.left - 32) / 2, tile.top + 3, m_hIcon);
    }
}
