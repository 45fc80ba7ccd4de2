#include "color_swatch.h"

#include "handles.h"
#include "prefdesk_ids.h"
#include "settings_file.h"
#include "settings_keys.h"

CHOOSECOLORW ColorChooser;
COLORREF RestoreColor;
COLORREF CustomColors[16];

namespace {

UniqueGdiObject swatch_brush;
COLORREF swatch_color;

} // namespace

COLORREF ReadStoredColor()
{
    return static_cast<COLORREF>(ReadSettingIntDefault(kAspectSection, kAspectColor, 0));
}

void LoadColorHolders()
{
    ColorChooser.rgbResult = ReadStoredColor();
    RestoreColor = ColorChooser.rgbResult;
}

void ChooseSwatchColor(HWND dlg)
{
    ColorChooser = CHOOSECOLORW{};
    ColorChooser.lStructSize = sizeof(ColorChooser);
    ColorChooser.hwndOwner = dlg;
    ColorChooser.rgbResult = ReadStoredColor();
    ColorChooser.lpCustColors = CustomColors;
    ColorChooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    ChooseColorW(&ColorChooser); // a cancelled chooser leaves the stored colour in the result

    WriteSettingInt(kAspectSection, kAspectColor, static_cast<int>(ColorChooser.rgbResult));
    InvalidateRect(GetDlgItem(dlg, IDC_COLOR), nullptr, TRUE);
}

HBRUSH SwatchBrush()
{
    const COLORREF color = ReadStoredColor();
    if (!swatch_brush || color != swatch_color) {
        swatch_brush.reset(CreateSolidBrush(color));
        swatch_color = color;
    }
    return static_cast<HBRUSH>(swatch_brush.get());
}

void FreeSwatchBrush()
{
    swatch_brush.reset();
}
