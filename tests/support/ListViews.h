#pragma once
// List views of this or another process, read from outside (the block the list
// writes into is placed in the list's own process).
#include <windows.h>

#include <string>

namespace testing_support {

std::wstring ListItemText(HWND list, int row, int column);
int ListItemCount(HWND list);
// Screen point in the middle of an item's label.
POINT ListItemPoint(HWND list, int row);
// The first row whose column shows text, or -1.
int FindListItem(HWND list, int column, const std::wstring& text);

}  // namespace testing_support
