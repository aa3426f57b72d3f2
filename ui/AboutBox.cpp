#include "ui/AboutBox.h"

#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(AboutBox, Dialog)
    ON_COMMAND(IDOK, OnOkIgnored)
    ON_MESSAGE(WM_ACTIVATE, OnActivate)
    ON_MESSAGE(WM_PAINT, OnPaint)
END_MESSAGE_MAP()

AboutBox::AboutBox(HWND owner) : Dialog(IDD_ABOUTBOX, owner) {}

BOOL AboutBox::OnInitDialog() {
    Dialog::OnInitDialog();
    return TRUE;
}

LRESULT AboutBox::OnPaint(WPARAM, LPARAM) {
    // The first paint registers the picture; later paints draw the same entry again.
    if (!picture_) picture_ = RegisterPicture(hwnd(), IDR_DEVICE_PICTURE, 110, 0);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    DrawPictures(hwnd(), dc);
    EndPaint(hwnd(), &ps);
    return 0;
}

void AboutBox::DestroyWindow() {
    if (hwnd()) ReleasePictures(hwnd());
    picture_ = nullptr;
    Dialog::DestroyWindow();
}
