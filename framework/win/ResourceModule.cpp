#include "framework/win/ResourceModule.h"

HINSTANCE ResourceInstance() { return GetModuleHandleA(nullptr); }

std::string LoadMessage(UINT id) {
    // The loader hands out the table entry itself (length + UTF-16), in the language the platform
    // chose; convert it to the ANSI code page the program works in.
    const wchar_t* text = nullptr;
    int length = LoadStringW(ResourceInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}
