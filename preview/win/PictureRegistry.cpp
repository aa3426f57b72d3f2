#include "preview/win/PictureRegistry.h"

#include "framework/win/ResourceModule.h"
#include "win/GlobalMemory.h"
#include "win/WindowDC.h"

PictureRegistry& Pictures() {
    static PictureRegistry registry;
    return registry;
}

LoadedPicture LoadPicture(HWND window, const void* bytes, DWORD length) {
    LoadedPicture out;
    if (!bytes || length == 0) return out;
    win::GlobalMemory block = win::GlobalMemory::CopyOf(bytes, length);
    if (!block) return out;
    IStream* created = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block.Get(), TRUE, &created)) || !created) return out;
    block.Release();  // the stream frees it
    const win::ComRef<IStream> stream(created);
    IPicture* picture = nullptr;
    HRESULT hr = OleLoadPicture(stream.get(), 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture));
    PictureRef held(picture);
    if (FAILED(hr) || !held) return out;

    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    out.picture = std::move(held);
    out.sourceWidth = hmWidth;
    out.sourceHeight = hmHeight;

    const win::WindowDC dc(window);
    out.width = MulDiv(GetDeviceCaps(dc.Get(), LOGPIXELSX), hmWidth, 2540);
    out.height = MulDiv(GetDeviceCaps(dc.Get(), LOGPIXELSY), hmHeight, 2540);
    return out;
}

PictureEntry* RegisterPicture(HWND window, int id, int x, int y) {
    HINSTANCE module = ResourceInstance();
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "BINARY");
    if (!info) return nullptr;
    HGLOBAL data = LoadResource(module, info);
    const void* bytes = data ? LockResource(data) : nullptr;
    DWORD length = SizeofResource(module, info);
    if (!bytes) return nullptr;

    LoadedPicture loaded = LoadPicture(window, bytes, length);
    if (!loaded.picture) return nullptr;

    PictureRegistry& registry = Pictures();
    registry.owned.push_back(std::make_unique<PictureEntry>(
        PictureEntry{std::move(loaded.picture), loaded.width, loaded.height, x, y, window, loaded.sourceWidth,
                     loaded.sourceHeight, registry.head, nullptr, 1}));
    PictureEntry* entry = registry.owned.back().get();
    if (registry.head) registry.head->previous = entry;
    registry.head = entry;
    ++registry.count;

    const win::WindowDC dc(window);
    DrawPictures(window, dc.Get());
    return entry;
}

void DrawPictures(HWND window, HDC dc) {
    for (PictureEntry* e = Pictures().head; e; e = e->next) {
        if (e->window != window || !e->visible) continue;
        // The source is given from its bottom edge: the picture lands upright with every row
        // (a destination given from its bottom loses a row on some systems).
        e->picture->Render(dc, e->x, e->y, e->width, e->height, 0, e->sourceHeight, e->sourceWidth,
                           -e->sourceHeight, nullptr);
    }
}

void ReleasePictures(HWND window) {
    PictureRegistry& registry = Pictures();
    PictureEntry* e = registry.head;
    while (e) {
        PictureEntry* next = e->next;
        if (e->window == window) {
            if (e->previous)
                e->previous->next = e->next;
            else
                registry.head = e->next;
            if (e->next) e->next->previous = e->previous;
            std::erase_if(registry.owned, [e](const std::unique_ptr<PictureEntry>& owned) { return owned.get() == e; });
            --registry.count;
        }
        e = next;
    }
}
