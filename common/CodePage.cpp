#include "CodePage.h"

namespace CodePage {

std::wstring ToWide(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string FromWide(const std::wstring& text, UINT codePage, bool* lossless) {
    if (lossless) *lossless = true;
    if (text.empty()) return std::string();
    BOOL usedDefault = FALSE;
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                              &usedDefault);
    if (lossless) *lossless = !usedDefault && ToWide(out, codePage) == text;
    return out;
}

bool CanRepresent(const std::wstring& text, UINT codePage) {
    bool lossless = true;
    FromWide(text, codePage, &lossless);
    return lossless;
}

}  // namespace CodePage
