#include "ui/AboutBox.h"

#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"
#include "win/PaintDC.h"

BEGIN_MESSAGE_MAP(AboutBox, Dialog)
    ON_COMMAND(IDOK, OnOkIgnored)
    ON_WM_ACTIVATE()
    ON_WM_PAINT()
END_MESSAGE_MAP()

AboutBox::AboutBox(HWND owner) : Dialog(IDD_ABOUTBOX, owner) {}

BOOL AboutBox::OnInitDialog() {
    Dialog::OnInitDialog();
    return TRUE;
}

void AboutBox::OnPaint() {
    // The first paint registers the picture; later paints draw the same entry again.
    if (!picture_) picture_ = RegisterPicture(hwnd(), IDR_DEVICE_PICTURE, 110, 0);
    const win::PaintDC paint(hwnd());
    DrawPictures(hwnd(), paint.Get());
}

void AboutBox::DestroyWindow() {
    if (hwnd()) ReleasePictures(hwnd());
    picture_ = nullptr;
    Dialog::DestroyWindow();
}
