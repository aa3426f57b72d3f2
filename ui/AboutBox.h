// The About box: template 100 with the device picture; OK and Enter do nothing, Escape closes it.
#pragma once

#include "framework/Dialog.h"

struct PictureEntry;

class AboutBox : public Dialog {
public:
    explicit AboutBox(HWND owner = nullptr);
    void DestroyWindow() override;

protected:
    BOOL OnInitDialog() override;

private:
    void OnOkIgnored() {}
    LRESULT OnActivate(WPARAM, LPARAM) { return Default(); }
    LRESULT OnPaint(WPARAM, LPARAM);

    PictureEntry* picture_ = nullptr;
    DECLARE_MESSAGE_MAP()
};
