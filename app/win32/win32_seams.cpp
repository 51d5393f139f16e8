#include "app/win32/win32_seams.h"

#include <commdlg.h>

#include <vector>

#include "window/controls.h"

namespace kovarim::win32 {

std::wstring Wide(const std::string &utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8(const std::wstring &wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    std::string utf8(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), size,
                                                                  nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}

std::wstring DialogFilter(const std::string &filter) {
    std::wstring form = Wide(filter);
    for (wchar_t &c : form)
        if (c == L'|')
            c = L'\0';
    form.push_back(L'\0');
    form.push_back(L'\0');
    return form;
}

namespace {

// Long paths fit: the dialogs write the chosen name into this buffer.
constexpr DWORD kNameChars = 32768;

std::optional<std::string> Show(HWND owner, const std::string &filter, const std::string &proposed,
                                BOOL(WINAPI *show)(LPOPENFILENAMEW)) {
    const std::wstring filterForm = DialogFilter(filter);
    std::vector<wchar_t> name(kNameChars, L'\0');
    const std::wstring start = Wide(proposed);
    start.copy(name.data(), std::min<std::size_t>(start.size(), kNameChars - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterForm.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = kNameChars;
    if (!show(&dialog))
        return std::nullopt; // cancelled (or failed): nothing chosen
    return Utf8(name.data());
}

} // namespace

std::optional<std::string> CommonDialogs::Open(const std::string &filter) {
    return Show(owner_, filter, {}, GetOpenFileNameW);
}

std::optional<std::string> CommonDialogs::Save(const std::string &filter,
                                               const std::string &proposed) {
    return Show(owner_, filter, proposed, GetSaveFileNameW);
}

void MessageBoxes::Ok(const std::string &text) {
    MessageBoxW(owner_, Wide(text).c_str(), Wide(window::kAppTitle).c_str(), MB_OK);
}

bool MessageBoxes::OkCancel(const std::string &text, const std::string &caption) {
    return MessageBoxW(owner_, Wide(text).c_str(), Wide(caption).c_str(),
                       MB_OKCANCEL | MB_DEFBUTTON1) == IDOK;
}

} // namespace kovarim::win32
