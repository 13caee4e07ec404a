#pragma once
// Conversions between UTF-16 and the byte text of a fixed code page. The
// server list files are code page 949 on every system, whatever its ANSI page.
#include <windows.h>

#include <string>

namespace CodePage {

constexpr UINT kKorean = 949;

std::wstring ToWide(const std::string& bytes, UINT codePage = kKorean);
// Characters the code page cannot hold become '?'; *lossless tells whether any did.
std::string FromWide(const std::wstring& text, UINT codePage = kKorean, bool* lossless = nullptr);
// True when every character survives a trip through the code page.
bool CanRepresent(const std::wstring& text, UINT codePage = kKorean);

}  // namespace CodePage
