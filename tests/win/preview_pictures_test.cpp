// The picture registry on real windows: decoding the program's pictures, drawing them upright
// at their pixel sizes, visibility, and releasing one window's entries; the About box.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "TestUi.h"
#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"
#include "ui/AboutBox.h"

using namespace testui;

namespace {

HWND MakeWindow(int width = 700, int height = 400) {
    HWND w = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    return w;
}

std::vector<PictureEntry*> EntriesOf(HWND window) {
    std::vector<PictureEntry*> out;
    for (PictureEntry* e = Pictures().head; e; e = e->next)
        if (e->window == window) out.push_back(e);
    return out;
}

// Renders the window's pictures into a white memory bitmap and reads a pixel.
class Canvas {
public:
    Canvas(int w, int h) : width(w), height(h) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        RECT all{0, 0, w, h};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    bool IsWhite(int x, int y) const { return (At(x, y) & 0xFFFFFF) == 0xFFFFFF; }
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

TEST(Pictures, EachPictureDecodesAtItsOwnPixelSize) {
    HWND w = MakeWindow();
    struct { int id, width, height; } expected[] = {{IDR_BANNER, 466, 89}, {IDR_LOGO, 320, 240}, {IDR_DEVICE_PICTURE, 128, 128}};
    for (auto& e : expected) {
        PictureEntry* entry = RegisterPicture(w, e.id, 0, 0);
        ASSERT_NE(entry, nullptr) << e.id;
        EXPECT_EQ(entry->width, e.width) << e.id;
        EXPECT_EQ(entry->height, e.height) << e.id;
        EXPECT_EQ(entry->visible, 1);
        EXPECT_EQ(entry->window, w);
    }
    ReleasePictures(w);
    DestroyWindow(w);
}

TEST(Pictures, DrawnUprightWithEveryRow) {
    // The logo is opaque up to its edges and its top and bottom rows differ in colour, so a
    // flipped drawing or a lost row shows.
    HWND w = MakeWindow();
    PictureEntry* logo = RegisterPicture(w, IDR_LOGO, 10, 20);
    ASSERT_NE(logo, nullptr);
    Canvas canvas(360, 280);
    DrawPictures(w, canvas.dc);
    // Rows 0 and h-1 of the picture are drawn, the rows just outside are not.
    int midX = 10 + 320 / 2;
    EXPECT_FALSE(canvas.IsWhite(midX, 20));
    EXPECT_FALSE(canvas.IsWhite(midX, 20 + 239));
    EXPECT_TRUE(canvas.IsWhite(midX, 19));
    EXPECT_TRUE(canvas.IsWhite(midX, 20 + 240));
    EXPECT_TRUE(canvas.IsWhite(9, 120));
    EXPECT_TRUE(canvas.IsWhite(10 + 320, 120));
    EXPECT_EQ(canvas.At(midX, 20) & 0xFFFFFF, RGB(211, 220, 229));
    EXPECT_EQ(canvas.At(midX, 20 + 239) & 0xFFFFFF, RGB(202, 214, 225));

    // Upright: the picture's own top-left pixel lands at the top-left of its place.
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 320, 240);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    OLE_XSIZE_HIMETRIC hw = 0;
    OLE_YSIZE_HIMETRIC hh = 0;
    logo->picture->get_Width(&hw);
    logo->picture->get_Height(&hh);
    RECT all{0, 0, 320, 240};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // Reference drawing straight from the picture, rows read from the bottom of the source.
    logo->picture->Render(mem, 0, 0, 320, 240, 0, hh, hw, -hh, nullptr);
    for (int y : {0, 10, 120, 200, 239})
        for (int x : {5, 100, 160, 250, 315}) EXPECT_EQ(canvas.At(10 + x, 20 + y), GetPixel(mem, x, y)) << x << "," << y;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleasePictures(w);
    DestroyWindow(w);
}

TEST(Pictures, HiddenEntriesAreSkipped) {
    HWND w = MakeWindow();
    PictureEntry* logo = RegisterPicture(w, IDR_LOGO, 0, 0);
    PictureEntry* device = RegisterPicture(w, IDR_DEVICE_PICTURE, 400, 0);
    ASSERT_TRUE(logo && device);
    logo->visible = 0;
    Canvas canvas(600, 260);
    DrawPictures(w, canvas.dc);
    EXPECT_TRUE(canvas.IsWhite(160, 120));        // the hidden logo's middle
    EXPECT_FALSE(canvas.IsWhite(400 + 64, 64));   // the device picture is still drawn
    ReleasePictures(w);
    DestroyWindow(w);
}

TEST(Pictures, ReleasingOneWindowKeepsTheOthersInOrder) {
    HWND a = MakeWindow(), b = MakeWindow();
    PictureRegistry& registry = Pictures();
    int before = registry.count;
    // Registry, newest first: b3 a2 b2 a1 b1 (a's entries at the middle; then head and tail cases).
    PictureEntry* b1 = RegisterPicture(b, IDR_DEVICE_PICTURE, 1, 0);
    PictureEntry* a1 = RegisterPicture(a, IDR_DEVICE_PICTURE, 2, 0);
    PictureEntry* b2 = RegisterPicture(b, IDR_DEVICE_PICTURE, 3, 0);
    PictureEntry* a2 = RegisterPicture(a, IDR_DEVICE_PICTURE, 4, 0);
    PictureEntry* b3 = RegisterPicture(b, IDR_DEVICE_PICTURE, 5, 0);
    ASSERT_TRUE(b1 && a1 && b2 && a2 && b3);
    EXPECT_EQ(registry.count, before + 5);
    ReleasePictures(a);
    EXPECT_EQ(registry.count, before + 3);
    EXPECT_TRUE(EntriesOf(a).empty());
    EXPECT_EQ(EntriesOf(b), (std::vector<PictureEntry*>{b3, b2, b1}));
    EXPECT_EQ(registry.head, b3);
    EXPECT_EQ(b3->previous, nullptr);
    EXPECT_EQ(b2->previous, b3);
    EXPECT_EQ(b1->previous, b2);

    // Head and tail: a's entries first and last.
    PictureEntry* a3 = RegisterPicture(a, IDR_DEVICE_PICTURE, 6, 0);
    ReleasePictures(b);
    EXPECT_EQ(EntriesOf(a), (std::vector<PictureEntry*>{a3}));
    EXPECT_EQ(registry.count, before + 1);
    ReleasePictures(a);
    EXPECT_EQ(registry.count, before);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(Pictures, BadInputRegistersNothing) {
    HWND w = MakeWindow();
    int before = Pictures().count;
    EXPECT_EQ(RegisterPicture(w, 4242, 0, 0), nullptr);  // no such resource
    const char notAPicture[] = "GIF89a but not really a picture";
    EXPECT_EQ(LoadPicture(w, notAPicture, sizeof(notAPicture)).picture, nullptr);
    EXPECT_EQ(LoadPicture(w, nullptr, 0).picture, nullptr);
    EXPECT_EQ(Pictures().count, before);
    // A window without pictures draws nothing.
    Canvas canvas(50, 50);
    DrawPictures(w, canvas.dc);
    EXPECT_TRUE(canvas.IsWhite(25, 25));
    DestroyWindow(w);
}

TEST(AboutBoxTest, OkAndEnterDoNothingEscapeCloses) {
    AboutBox about(nullptr);
    int stage = 0;
    bool stillOpenAfterOk = false, pictureWhileOpen = false;
    HWND box = nullptr;
    BoxWatcher watcher([&](HWND found) {
        box = found;
        // Paint happens once shown: the device picture is then registered for the box.
        Pump(100);
        pictureWhileOpen = !EntriesOf(found).empty();
        SendMessageA(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(found, IDOK)));
        // Enter goes through the dialog manager to the default button: the OK command again.
        PostMessageA(GetDlgItem(found, IDOK), WM_KEYDOWN, VK_RETURN, 0);
        Pump(100);
        stillOpenAfterOk = IsWindowVisible(found) != FALSE;
        stage = 1;
        PostMessageA(GetDlgItem(found, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    INT_PTR result = about.DoModal();
    EXPECT_EQ(stage, 1);
    EXPECT_TRUE(stillOpenAfterOk);
    EXPECT_TRUE(pictureWhileOpen);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_TRUE(EntriesOf(box).empty());  // released with the window
}

}  // namespace
