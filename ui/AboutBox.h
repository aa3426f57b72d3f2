// The About box: template 100 with the device picture; OK and Enter do nothing, Escape closes it.
#pragma once

#include "framework/win/Dialog.h"

struct PictureEntry;

class AboutBox : public Dialog {
public:
    explicit AboutBox(HWND owner = nullptr);
    void DestroyWindow() override;

protected:
    BOOL OnInitDialog() override;

private:
    void OnOkIgnored() {}
    LRESULT OnActivate(UINT, bool, HWND) { return Default(); }
    void OnPaint();

    PictureEntry* picture_ = nullptr;
    DECLARE_MESSAGE_MAP()
};
