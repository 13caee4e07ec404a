#pragma once
// The game folders on the left of the launcher view: headers of 35 pixels
// stacked from the top; the one open folder's body takes the height they leave.
#include <windows.h>

#include <memory>
#include <vector>

#include "FolderItem.h"
#include "Window.h"

// Where one folder lies in the bar; body is empty for a closed folder.
struct FolderRects {
    RECT header{};
    RECT body{};
    bool open = false;
};

class CFolderBar : public CWindow {
public:
    static constexpr int kHeaderHeight = 35;

    CFolderBar() = default;
    ~CFolderBar() override;

    BOOL Create(const RECT& rect, HWND parent, UINT id);

    void AddFolder(std::unique_ptr<CFolderItem> folder);
    // The folder at index, or null.
    CFolderItem* GetFolder(int index) const;
    int GetFolderCount() const { return static_cast<int>(m_folders.size()); }

    // One entry per folder, top to bottom, for a client rectangle; painting and
    // clicks share it.
    void Layout(const RECT& client, std::vector<FolderRects>& out) const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    // False when the click hit nothing and gets default processing.
    bool OnLButtonDown(POINT pt);

    std::vector<std::unique_ptr<CFolderItem>> m_folders;
    int m_nOpenFolder = 0;
};
