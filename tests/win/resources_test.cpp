// ClipHarbor's resources as linked into this test program: the message catalogue through the
// normal string loader in the user's language, the raw tables, both dialog layouts (raw bytes and
// the windows the dialog manager builds), the pictures, the icon, the version block and manifest.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue_fixture.h"
#include "resources/resource.h"

namespace {

using catalogue_fixture::kIds;
using catalogue_fixture::kTables;
using catalogue_fixture::Table;

// Counts the resource names it is called for into the unsigned that `count` points to.
BOOL CALLBACK CountResource(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
    ++*reinterpret_cast<unsigned*>(count);
    return TRUE;
}

constexpr LANGID kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kSpanishTraditional = MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH);

// Resource types as wide names (the headers' RT_* follow UNICODE, which this build leaves off).
const LPCWSTR kTypeString = MAKEINTRESOURCEW(6);
const LPCWSTR kTypeDialog = MAKEINTRESOURCEW(5);
const LPCWSTR kTypeIcon = MAKEINTRESOURCEW(3);
const LPCWSTR kTypeGroupIcon = MAKEINTRESOURCEW(14);
const LPCWSTR kTypeManifest = MAKEINTRESOURCEW(24);

HMODULE Self() { return GetModuleHandleW(nullptr); }

std::wstring Wide(std::u8string_view text) {
    if (text.empty()) return {};
    auto bytes = reinterpret_cast<const char*>(text.data());
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, int(text.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, int(text.size()), out.data(), n);
    return out;
}

std::string Ansi(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

const Table& TableOf(LANGID lang) {
    for (const Table* t : kTables)
        if (t->langId == lang) return *t;
    ADD_FAILURE() << "no table " << lang;
    return *kTables[0];
}

// The bytes of a resource of this program in exactly one language.
std::optional<std::string_view> RawResource(LPCWSTR type, LPCWSTR name, LANGID lang) {
    HRSRC res = FindResourceExW(Self(), type, name, lang);
    if (!res) return std::nullopt;
    auto data = static_cast<const char*>(LockResource(LoadResource(Self(), res)));
    return std::string_view(data, SizeofResource(Self(), res));
}

// The bytes of a resource as the loader finds it with no language named.
std::optional<std::string_view> RawResource(LPCWSTR type, LPCWSTR name) {
    HRSRC res = FindResourceW(Self(), name, type);
    if (!res) return std::nullopt;
    auto data = static_cast<const char*>(LockResource(LoadResource(Self(), res)));
    return std::string_view(data, SizeofResource(Self(), res));
}

// Reads little-endian fields from resource bytes, failing the test instead of overrunning.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <typename T> T Get() {
        T v{};
        if (pos_ + sizeof(T) > bytes_.size()) {
            ok_ = false;
            return v;
        }
        std::memcpy(&v, bytes_.data() + pos_, sizeof(T));
        pos_ += sizeof(T);
        return v;
    }
    // A string-or-ordinal field: 0xFFFF then the ordinal, or a NUL-terminated UTF-16 string.
    std::wstring SzOrOrd(bool* isOrdinal = nullptr, WORD* ordinal = nullptr) {
        WORD first = Get<WORD>();
        if (first == 0xFFFF) {
            WORD o = Get<WORD>();
            if (isOrdinal) *isOrdinal = true;
            if (ordinal) *ordinal = o;
            return {};
        }
        if (isOrdinal) *isOrdinal = false;
        std::wstring s;
        for (WORD c = first; c != 0 && ok_; c = Get<WORD>()) s.push_back(wchar_t(c));
        return s;
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~size_t(3); }
    void Skip(size_t n) { pos_ += n; if (pos_ > bytes_.size()) ok_ = false; }
    size_t Pos() const { return pos_; }
    bool Ok() const { return ok_; }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// ---- Message catalogue -----------------------------------------------------------------------

// The 16 entries of one string block (ids (block - 1) * 16 to block * 16 - 1).
std::vector<std::wstring> StringBlock(unsigned block, LANGID lang) {
    std::vector<std::wstring> entries;
    auto raw = RawResource(kTypeString, MAKEINTRESOURCEW(block), lang);
    if (!raw) return entries;
    Reader r(*raw);
    for (int i = 0; i < 16; ++i) {
        WORD len = r.Get<WORD>();
        std::wstring s;
        for (WORD k = 0; k < len; ++k) s.push_back(wchar_t(r.Get<WORD>()));
        if (!r.Ok()) break;
        entries.push_back(s);
    }
    return entries;
}

TEST(CatalogueResources, EveryTableHoldsExactlyTheProgramIds) {
    for (const Table* table : kTables) {
        SCOPED_TRACE("table " + std::to_string(table->langId));
        for (unsigned block : {7u, 8u, 10u}) {
            auto entries = StringBlock(block, table->langId);
            ASSERT_EQ(entries.size(), 16u) << "string block " << block;
            for (unsigned i = 0; i < 16; ++i) {
                unsigned id = (block - 1) * 16 + i;
                std::wstring want;
                for (size_t k = 0; k < kIds.size(); ++k)
                    if (kIds[k] == id) want = Wide(table->texts[k]);
                EXPECT_EQ(entries[i], want) << "id " << id;
            }
        }
    }
    // Nothing else: no stray blocks in other languages or block numbers.
    unsigned blocks = 0;
    EnumResourceNamesW(Self(), kTypeString, CountResource, reinterpret_cast<LONG_PTR>(&blocks));
    EXPECT_EQ(blocks, 3u);
}

// The texts are format strings: a table whose placeholders differ from the English ones would
// make the formatting read the wrong arguments.
TEST(CatalogueResources, EveryTableHasTheEnglishPlaceholders) {
    auto placeholders = [](const std::wstring& text) {
        std::wstring seq;
        for (size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == L'%') seq += text[++i];
        return seq;
    };
    for (unsigned block : {7u, 8u, 10u}) {
        auto english = StringBlock(block, kEnglishUs);
        ASSERT_EQ(english.size(), 16u);
        for (const Table* table : kTables) {
            auto texts = StringBlock(block, table->langId);
            ASSERT_EQ(texts.size(), 16u);
            for (unsigned i = 0; i < 16; ++i)
                EXPECT_EQ(placeholders(texts[i]), placeholders(english[i]))
                    << "table " << table->langId << ", id " << (block - 1) * 16 + i;
        }
    }
}

// The table the platform picks for the user language the run was started with (TEST_LANG).
struct UserLanguage {
    const char* name;
    LANGID uiLanguage;  // what the locale maps to
    LANGID table;       // the table the loader then shows
    UINT ansiCodePage;
};

constexpr UserLanguage kUserLanguages[] = {
    {"en_US", 0x0409, 1033, 1252},
    {"de_DE", 0x0407, 1031, 1252},
    {"fr_FR", 0x040C, 1036, 1252},
    // Wine maps es_ES to Spain's modern sort (0x0C0A), which has no table, and its loader does
    // not fall back to the traditional-sort table (0x040A): a Spanish user sees English texts.
    {"es_ES", 0x0C0A, 1033, 1252},
    {"ja_JP", 0x0411, 1041, 932},
    {"ru_RU", 0x0419, 1049, 1251},
};

const UserLanguage& CurrentUserLanguage() {
    const char* env = std::getenv("TEST_LANG");
    std::string_view name = env && *env ? env : "en_US";
    for (const auto& l : kUserLanguages)
        if (name == l.name) return l;
    ADD_FAILURE() << "unknown TEST_LANG " << name;
    return kUserLanguages[0];
}

void ExpectLoaderShows(const Table& table) {
    for (size_t k = 0; k < kIds.size(); ++k) {
        SCOPED_TRACE("id " + std::to_string(kIds[k]));
        std::wstring want = Wide(table.texts[k]);
        wchar_t wide[1024] = {};
        int n = LoadStringW(Self(), kIds[k], wide, int(std::size(wide)));
        EXPECT_EQ(std::wstring(wide, size_t(n)), want);
        char narrow[2048] = {};
        n = LoadStringA(Self(), kIds[k], narrow, int(std::size(narrow)));
        EXPECT_EQ(std::string(narrow, size_t(n)), Ansi(want));
    }
}

TEST(CatalogueLanguage, LoaderShowsTheTableOfTheUserLanguage) {
    const UserLanguage& user = CurrentUserLanguage();
    SCOPED_TRACE(user.name);
    // The run's locale must really be in force, or the comparison below proves nothing.
    ASSERT_EQ(GetUserDefaultUILanguage(), user.uiLanguage);
    ASSERT_EQ(GetACP(), user.ansiCodePage);
    ExpectLoaderShows(TableOf(user.table));
}

// The traditional-sort Spanish table is there for a thread that asks for it. Windows' loader
// follows the thread UI language, Wine's (8.0) the thread locale: the test sets both.
TEST(CatalogueLanguage, SpanishTableIsReachedThroughTheThreadLanguage) {
    LANGID uiBefore = GetThreadUILanguage();
    LCID localeBefore = GetThreadLocale();
    SetThreadUILanguage(kSpanishTraditional);
    ASSERT_TRUE(SetThreadLocale(MAKELCID(kSpanishTraditional, SORT_DEFAULT)));
    ExpectLoaderShows(TableOf(kSpanishTraditional));
    SetThreadLocale(localeBefore);
    SetThreadUILanguage(uiBefore);

    wchar_t name[64] = {};
    LoadStringW(Self(), IDS_COLUMN_NAME, name, 64);
    EXPECT_EQ(name, Wide(TableOf(CurrentUserLanguage().table).texts[2])) << "language restored";
}

// ---- Dialog layouts --------------------------------------------------------------------------

struct ExpectedControl {
    DWORD id;
    const wchar_t* className;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
    const wchar_t* text;
};

struct ExpectedDialog {
    short cx, cy;
    DWORD style, exStyle;
    const wchar_t* title;
    WORD pointSize, weight;
    BYTE italic, charset;
    const wchar_t* face;
    std::vector<ExpectedControl> controls;
};

const ExpectedDialog kMainWindow = {
    560, 367, 0x90C8086C, 0x00040000, L"ClipHarbor v1.0", 8, 400, 0, 1, L"MS Shell Dlg",
    {
        {1000, L"SysListView32", 6, 60, 300, 288, 0x50810A01, 0x00020000, L""},
        {65535, L"Static", 6, 354, 276, 8, 0x50020000, 0,
         L"ClipHarbor for the Zelkor Tidewell DV. Copyright (C) 2026 Zelkor, LLC."},
        {1008, L"Button", 366, 300, 126, 14, 0x58010000, 0, L""},
        {1009, L"Button", 366, 318, 126, 14, 0x58010000, 0, L""},
        {1010, L"Button", 366, 336, 126, 14, 0x58010000, 0, L""},
        {1011, L"Button", 306, 354, 252, 8, 0x40010003, 0, L""},
        {1007, L"msctls_progress32", 462, 276, 92, 12, 0x50800001, 0, L""},
        {1017, L"Edit", 312, 276, 144, 12, 0x50010980, 0x00000020, L""},
        {1019, L"Static", 312, 258, 144, 8, 0x50020000, 0, L"Static"},
        {1026, L"Static", 312, 60, 66, 8, 0x50020000, 0, L"Static"},
        {1027, L"Static", 378, 60, 174, 8, 0x50020002, 0, L"Static"},
        {1028, L"Static", 312, 72, 240, 174, 0x50000007, 0, L""},
        {1018, L"ComboBox", 462, 258, 91, 50, 0x58010002, 0x00000020, L""},
    }};

const ExpectedDialog kAboutBox = {
    235, 210, 0x80C008C8, 0, L"About ClipHarbor", 8, 0, 0, 1, L"MS Shell Dlg",
    {
        {65535, L"Static", 7, 173, 221, 8, 0x50020001, 0x20,
         L"Copyright (C) 2026 Zelkor, LLC. All rights reserved."},
        {IDOK, L"Button", 93, 187, 50, 16, 0x50030001, 0, L"OK"},
        {65535, L"Static", 7, 81, 221, 8, 0x50020001, 0x20, L"ClipHarbor for Windows"},
        {65535, L"Static", 7, 91, 221, 8, 0x50020001, 0x20, L"version 1.0"},
        {65535, L"Static", 7, 109, 221, 8, 0x50020001, 0x20, L"Product Management"},
        {65535, L"Static", 7, 119, 221, 8, 0x50020001, 0x20, L"ClipHarbor team"},
        {65535, L"Static", 7, 135, 221, 8, 0x50020001, 0x20, L"Programming"},
        {65535, L"Static", 7, 145, 221, 8, 0x50020001, 0x20, L"ClipHarbor team"},
    }};

// Predefined classes may be stored by ordinal; names compare without case, as the system
// compares them (GNU windres writes them in capitals, which the system accepts the same).
bool SameClass(bool isOrdinal, WORD ordinal, const std::wstring& stored, const wchar_t* want) {
    if (isOrdinal) {
        static const struct { WORD ord; const wchar_t* name; } kAtoms[] = {
            {0x80, L"Button"}, {0x81, L"Edit"}, {0x82, L"Static"},
            {0x83, L"ListBox"}, {0x84, L"ScrollBar"}, {0x85, L"ComboBox"}};
        for (const auto& a : kAtoms)
            if (a.ord == ordinal) return lstrcmpiW(a.name, want) == 0;
        return false;
    }
    return CompareStringOrdinal(stored.c_str(), -1, want, -1, TRUE) == CSTR_EQUAL;
}

void ExpectTemplate(std::string_view bytes, const ExpectedDialog& want) {
    Reader r(bytes);
    EXPECT_EQ(r.Get<WORD>(), 1) << "dlgVer";
    EXPECT_EQ(r.Get<WORD>(), 0xFFFF) << "signature: not an extended template";
    EXPECT_EQ(r.Get<DWORD>(), 0u) << "helpID";
    EXPECT_EQ(r.Get<DWORD>(), want.exStyle) << "exStyle";
    EXPECT_EQ(r.Get<DWORD>(), want.style) << "style";
    WORD count = r.Get<WORD>();
    ASSERT_EQ(count, want.controls.size());
    EXPECT_EQ(r.Get<short>(), 0);
    EXPECT_EQ(r.Get<short>(), 0);
    EXPECT_EQ(r.Get<short>(), want.cx);
    EXPECT_EQ(r.Get<short>(), want.cy);
    bool ordinal = false;
    WORD ordinalValue = 0;
    EXPECT_EQ(r.SzOrOrd(&ordinal, &ordinalValue), L"") << "menu";
    EXPECT_FALSE(ordinal);
    EXPECT_EQ(r.SzOrOrd(&ordinal, &ordinalValue), L"") << "window class";
    EXPECT_FALSE(ordinal);
    EXPECT_EQ(r.SzOrOrd(), want.title);
    EXPECT_EQ(r.Get<WORD>(), want.pointSize);
    EXPECT_EQ(r.Get<WORD>(), want.weight);
    EXPECT_EQ(r.Get<BYTE>(), want.italic);
    EXPECT_EQ(r.Get<BYTE>(), want.charset);
    EXPECT_EQ(r.SzOrOrd(), want.face);
    for (const ExpectedControl& c : want.controls) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " at byte " + std::to_string(r.Pos()));
        r.AlignDword();
        EXPECT_EQ(r.Get<DWORD>(), 0u) << "helpID";
        EXPECT_EQ(r.Get<DWORD>(), c.exStyle);
        EXPECT_EQ(r.Get<DWORD>(), c.style);
        EXPECT_EQ(r.Get<short>(), c.x);
        EXPECT_EQ(r.Get<short>(), c.y);
        EXPECT_EQ(r.Get<short>(), c.cx);
        EXPECT_EQ(r.Get<short>(), c.cy);
        EXPECT_EQ(r.Get<DWORD>(), c.id);
        std::wstring cls = r.SzOrOrd(&ordinal, &ordinalValue);
        EXPECT_TRUE(SameClass(ordinal, ordinalValue, cls, c.className)) << "class";
        EXPECT_EQ(r.SzOrOrd(&ordinal, &ordinalValue), c.text);
        EXPECT_FALSE(ordinal) << "text";
        WORD extra = r.Get<WORD>();
        EXPECT_EQ(extra, 0) << "creation data";
        r.Skip(extra);
    }
    EXPECT_TRUE(r.Ok()) << "template shorter than its fields";
    EXPECT_LE(bytes.size() - r.Pos(), 3u) << "bytes after the last control";
}

TEST(DialogLayout, MainWindowTemplateIsExact) {
    auto bytes = RawResource(kTypeDialog, MAKEINTRESOURCEW(IDD_CLIPHARBOR_DIALOG),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_TRUE(bytes) << "template 102 must be language-neutral";
    ExpectTemplate(*bytes, kMainWindow);
}

TEST(DialogLayout, AboutBoxTemplateIsExact) {
    auto bytes = RawResource(kTypeDialog, MAKEINTRESOURCEW(IDD_ABOUTBOX), kEnglishUs);
    ASSERT_TRUE(bytes) << "template 100 must be tagged 1033";
    ExpectTemplate(*bytes, kAboutBox);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

RECT WindowRectInParent(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The window the dialog manager builds from template 102, in this program's process (comctl32
// version 6 through the manifest, as in the product).
TEST(DialogLayout, MainWindowControlsAsCreated) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    HWND dlg = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_CLIPHARBOR_DIALOG), nullptr,
                                  PlainDialogProc, 0);
    ASSERT_NE(dlg, nullptr) << GetLastError();

    // Every top-level window gets WS_CLIPSIBLINGS, a captioned one WS_EX_WINDOWEDGE, and the
    // dialog manager adds WS_EX_CONTROLPARENT.
    DWORD style = DWORD(GetWindowLongPtrW(dlg, GWL_STYLE));
    DWORD exStyle = DWORD(GetWindowLongPtrW(dlg, GWL_EXSTYLE));
    EXPECT_EQ(style, kMainWindow.style | WS_CLIPSIBLINGS) << std::hex << style;
    EXPECT_EQ(exStyle, kMainWindow.exStyle | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT)
        << std::hex << exStyle;
    EXPECT_EQ(style & WS_CAPTION, DWORD(WS_CAPTION));
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    wchar_t title[64] = {};
    GetWindowTextW(dlg, title, 64);
    EXPECT_STREQ(title, kMainWindow.title);
    RECT client, want{0, 0, kMainWindow.cx, kMainWindow.cy};
    GetClientRect(dlg, &client);
    MapDialogRect(dlg, &want);
    EXPECT_EQ(client.right, want.right);
    EXPECT_EQ(client.bottom, want.bottom);

    size_t index = 0;
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ASSERT_LT(index, kMainWindow.controls.size()) << "more children than the template lists";
        const ExpectedControl& c = kMainWindow.controls[index++];
        SCOPED_TRACE("control " + std::to_string(c.id));
        EXPECT_EQ(DWORD(GetDlgCtrlID(child)) & 0xFFFF, c.id);
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        EXPECT_STREQ(cls, c.className);

        // The list view and the progress bar trade WS_BORDER for an edge of their own at
        // creation; the dialog manager marks every control WS_EX_NOPARENTNOTIFY.
        DWORD wantStyle = c.style, wantEx = c.exStyle | WS_EX_NOPARENTNOTIFY;
        if (c.id == IDC_CLIP_LIST) {
            wantStyle &= ~DWORD(WS_BORDER);
            wantEx |= WS_EX_CLIENTEDGE;
        } else if (c.id == IDC_DISK_GAUGE) {
            wantStyle &= ~DWORD(WS_BORDER);
        }
        EXPECT_EQ(DWORD(GetWindowLongPtrW(child, GWL_STYLE)), wantStyle) << std::hex << wantStyle;
        EXPECT_EQ(DWORD(GetWindowLongPtrW(child, GWL_EXSTYLE)), wantEx) << std::hex << wantEx;

        wchar_t text[128] = {};
        GetWindowTextW(child, text, 128);
        EXPECT_STREQ(text, c.text);

        // The dialog manager converts position and size separately.
        RECT expect{c.x, c.y, c.cx, c.cy};
        MapDialogRect(dlg, &expect);
        RECT actual = WindowRectInParent(child, dlg);
        EXPECT_EQ(actual.left, expect.left);
        EXPECT_EQ(actual.top, expect.top);
        EXPECT_EQ(actual.right - actual.left, expect.right);
        if (c.id == IDC_DEVICE_COMBO) {
            // A drop-down combo is as high as its edit field; the template height bounds the
            // field with its list dropped (the list shrinks to whole items).
            RECT dropped{};
            SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
            EXPECT_EQ(dropped.right - dropped.left, expect.right);
            EXPECT_LE(dropped.bottom - dropped.top, expect.bottom);
            EXPECT_GT(dropped.bottom - dropped.top, actual.bottom - actual.top);
        } else {
            EXPECT_EQ(actual.bottom - actual.top, expect.bottom);
        }
    }
    EXPECT_EQ(index, kMainWindow.controls.size());

    HWND check = GetDlgItem(dlg, IDC_AUTOLAUNCH);
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(IsWindowVisible(check));
    EXPECT_TRUE(IsWindowVisible(GetNextWindow(GetDlgItem(dlg, IDC_CLIP_LIST), GW_HWNDNEXT)))
        << "the legal notice stays visible";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_COPY)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_DEVICE_COMBO)));
    DestroyWindow(dlg);
}

// ---- Pictures and icon -----------------------------------------------------------------------

struct GifFacts {
    bool gif89a = false;
    int width = 0, height = 0;
    int globalColours = 0;
    int frames = 0;
    bool transparent = false;
    bool wellFormed = false;
};

GifFacts ReadGif(std::string_view bytes) {
    GifFacts f;
    if (bytes.size() < 13) return f;
    f.gif89a = bytes.substr(0, 6) == "GIF89a";
    Reader r(bytes.substr(6));
    f.width = r.Get<WORD>();
    f.height = r.Get<WORD>();
    BYTE packed = r.Get<BYTE>();
    r.Skip(2);
    if (packed & 0x80) {
        f.globalColours = 2 << (packed & 7);
        r.Skip(size_t(3) * f.globalColours);
    }
    while (r.Ok()) {
        BYTE tag = r.Get<BYTE>();
        if (tag == 0x3B) {
            f.wellFormed = r.Ok();
            break;
        }
        if (tag == 0x21) {
            BYTE label = r.Get<BYTE>();
            if (label == 0xF9) {
                BYTE size = r.Get<BYTE>();
                BYTE flags = r.Get<BYTE>();
                if (size == 4 && (flags & 1)) f.transparent = true;
                r.Skip(size_t(size) - 1);
            }
        } else if (tag == 0x2C) {
            ++f.frames;
            r.Skip(8);
            BYTE local = r.Get<BYTE>();
            if (local & 0x80) r.Skip(size_t(3) * (2 << (local & 7)));
            r.Skip(1);  // LZW minimum code size
        } else {
            break;
        }
        for (BYTE n = r.Get<BYTE>(); n != 0 && r.Ok(); n = r.Get<BYTE>()) r.Skip(n);
    }
    return f;
}

// Decodes the picture the way the program does (OLE picture on a stream over a copy).
SIZE DecodedPixelSize(std::string_view bytes) {
    SIZE size{};
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
    GlobalUnlock(mem);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(mem, TRUE, &stream))) return size;
    IPicture* picture = nullptr;
    HRESULT hr = OleLoadPicture(stream, 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(hr)) return size;
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    picture->get_Width(&w);
    picture->get_Height(&h);
    HDC dc = GetDC(nullptr);
    size.cx = MulDiv(GetDeviceCaps(dc, LOGPIXELSX), w, 2540);
    size.cy = MulDiv(GetDeviceCaps(dc, LOGPIXELSY), h, 2540);
    ReleaseDC(nullptr, dc);
    picture->Release();
    return size;
}

TEST(ArtworkResources, PicturesAreSingleFrameGifsWithFullPaletteAndTransparency) {
    const struct { WORD id; int w, h; } pictures[] = {
        {IDR_BANNER, 466, 89}, {IDR_DEVICE_PICTURE, 128, 128}, {IDR_LOGO, 320, 240}};
    for (const auto& p : pictures) {
        SCOPED_TRACE("picture " + std::to_string(p.id));
        auto bytes = RawResource(L"BINARY", MAKEINTRESOURCEW(p.id), kEnglishUs);
        ASSERT_TRUE(bytes) << "type BINARY, tagged 1033";
        EXPECT_TRUE(RawResource(L"BINARY", MAKEINTRESOURCEW(p.id))) << "found with no language";
        GifFacts f = ReadGif(*bytes);
        EXPECT_TRUE(f.gif89a);
        EXPECT_EQ(f.width, p.w);
        EXPECT_EQ(f.height, p.h);
        EXPECT_EQ(std::uint8_t((*bytes)[10]), 0xF7) << "global table flag, 8-bit, 256 entries";
        EXPECT_EQ(f.globalColours, 256);
        EXPECT_EQ(f.frames, 1);
        EXPECT_TRUE(f.transparent);
        EXPECT_TRUE(f.wellFormed) << "blocks end with the trailer";
        SIZE decoded = DecodedPixelSize(*bytes);
        EXPECT_EQ(decoded.cx, p.w);
        EXPECT_EQ(decoded.cy, p.h);
    }
}

TEST(ArtworkResources, IconGroupHasSixImagesAtTheListedDepths) {
    auto group = RawResource(kTypeGroupIcon, MAKEINTRESOURCEW(IDI_CLIPHARBOR),
                             MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_TRUE(group) << "icon group 154 tagged 1049";
    Reader r(*group);
    EXPECT_EQ(r.Get<WORD>(), 0);
    EXPECT_EQ(r.Get<WORD>(), 1) << "icon, not cursor";
    ASSERT_EQ(r.Get<WORD>(), 6);
    const struct { int size, bits; } want[] = {{48, 8}, {32, 8}, {16, 8}, {48, 24}, {32, 24}, {16, 32}};
    for (const auto& w : want) {
        SCOPED_TRACE(std::to_string(w.size) + " px, " + std::to_string(w.bits) + " bpp");
        EXPECT_EQ(r.Get<BYTE>(), w.size);
        EXPECT_EQ(r.Get<BYTE>(), w.size);
        EXPECT_EQ(r.Get<BYTE>(), 0) << "colour count";
        r.Get<BYTE>();
        EXPECT_EQ(r.Get<WORD>(), 1) << "planes";
        EXPECT_EQ(r.Get<WORD>(), w.bits);
        DWORD bytes = r.Get<DWORD>();
        WORD id = r.Get<WORD>();
        // The image itself says the same.
        HRSRC image = FindResourceW(Self(), MAKEINTRESOURCEW(id), kTypeIcon);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(SizeofResource(Self(), image), bytes);
        auto bmi = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(Self(), image)));
        EXPECT_EQ(bmi->biWidth, w.size);
        EXPECT_EQ(bmi->biHeight, 2 * w.size);
        EXPECT_EQ(bmi->biBitCount, w.bits);
    }
    EXPECT_TRUE(r.Ok());
    HICON icon = static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(IDI_CLIPHARBOR), IMAGE_ICON,
                                               32, 32, 0));
    EXPECT_NE(icon, nullptr) << "the main window loads it by id";
    if (icon) DestroyIcon(icon);
}

// ---- Version block and manifest --------------------------------------------------------------

TEST(VersionResources, VersionBlockCarriesTheProductFields) {
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x40004u);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);

    const struct { const wchar_t* key; const wchar_t* value; } strings[] = {
        {L"CompanyName", L"Zelkor, LLC"},
        {L"FileDescription", L"Zelkor Tidewell DV ClipHarbor"},
        {L"FileVersion", L"1.0.0.1"},
        {L"InternalName", L"ClipHarbor.exe"},
        {L"LegalCopyright", L"Copyright (C) 2026 Zelkor, LLC. All rights reserved."},
        {L"OriginalFilename", L"ClipHarbor.exe"},
        {L"ProductName", L"ClipHarbor for Windows version 1.0"},
        {L"ProductVersion", L"1.0.0.1"},
    };
    for (const auto& s : strings) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904e4\\") + s.key;
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &len))
            << "missing " << std::string(s.key, s.key + wcslen(s.key));
        EXPECT_STREQ(value, s.value);
    }
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &len));
    ASSERT_EQ(len, 4u) << "one language and code page pair";
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);
}

// The attributes of one element, e.g. the second <assemblyIdentity .../>.
std::string Element(std::string_view text, std::string_view tag, int which) {
    size_t pos = 0;
    for (int i = 0; i <= which; ++i) {
        pos = text.find(std::string("<") + std::string(tag), pos);
        if (pos == std::string_view::npos) return {};
        if (i < which) ++pos;
    }
    size_t end = text.find('>', pos);
    return std::string(text.substr(pos, end - pos));
}

bool HasAttribute(const std::string& element, const std::string& name, const std::string& value) {
    return element.find(name + "=\"" + value + "\"") != std::string::npos;
}

TEST(VersionResources, ManifestAsksForCommonControlsVersion6) {
    auto manifest = RawResource(kTypeManifest, MAKEINTRESOURCEW(1));
    ASSERT_TRUE(manifest);
#ifdef _WIN64
    const std::string arch = "amd64";  // the 64-bit test build names its own architecture
#else
    const std::string arch = "X86";
#endif
    std::string self = Element(*manifest, "assemblyIdentity", 0);
    EXPECT_TRUE(HasAttribute(self, "version", "1.0.0.0")) << self;
    EXPECT_TRUE(HasAttribute(self, "processorArchitecture", arch)) << self;
    EXPECT_TRUE(HasAttribute(self, "name", "Microsoft.Windows.ClipHarbor")) << self;
    EXPECT_TRUE(HasAttribute(self, "type", "win32")) << self;
    EXPECT_NE(manifest->find("<description>Your app description here</description>"),
              std::string_view::npos);
    std::string dep = Element(*manifest, "assemblyIdentity", 1);
    EXPECT_TRUE(HasAttribute(dep, "type", "win32")) << dep;
    EXPECT_TRUE(HasAttribute(dep, "name", "Microsoft.Windows.Common-Controls")) << dep;
    EXPECT_TRUE(HasAttribute(dep, "version", "6.0.0.0")) << dep;
    EXPECT_TRUE(HasAttribute(dep, "processorArchitecture", arch)) << dep;
    EXPECT_TRUE(HasAttribute(dep, "publicKeyToken", "6595b64144ccf1df")) << dep;
    EXPECT_TRUE(HasAttribute(dep, "language", "*")) << dep;
    EXPECT_EQ(manifest->find("<dependentAssembly", manifest->find("</dependentAssembly>")),
              std::string_view::npos) << "one dependency only";

    // And the system honours it: this process's comctl32 is the version 6 assembly from the
    // side-by-side store, not the system folder's (Wine's DllGetVersion says 5.81 for both).
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    CharLowerW(path);
    EXPECT_NE(std::wstring(path).find(L"\\winsxs\\"), std::wstring::npos)
        << std::string(path, path + wcslen(path));
}

}  // namespace
