// The clipboard's text, the font a device context holds, and text measured
// in a window's device context as GetDC returns it: no font is selected into
// it, so a font given to a control with WM_SETFONT takes no part.
#pragma once

#include <windows.h>

// Empties the clipboard and puts on it the text cut to length - 1 characters
// (length counts the terminator; below 1 it is taken as 1, an empty text).
// The clipboard is opened with no owner window. 0 only when the memory block
// could not be allocated (the clipboard is then left empty); 1 otherwise,
// also when another program holds the clipboard and nothing was copied.
// A null text counts as empty.
int SetClipboardText(const wchar_t* text, int length);

// As SetClipboardText, but the clipboard is opened for owner, and while
// another program holds it the opening is tried again for about half a
// second. 1 copied; 0 not: still held, or no memory for the block.
int CopyTextToClipboard(HWND owner, const wchar_t* text, int length);

// Writes the handle of the font selected into the context (for a fresh
// context, its default font) and leaves the context as it was; the handle
// stays its owner's. 1 with the handle written (null when the context refused
// the probe font); 0 when the probe font cannot be made or font is null.
int GetSelectedFont(HDC dc, HFONT* font);

// Width of the whole text (null: empty) in the window's context (null window:
// the screen); 0 when there is no context or the measurement fails.
int GetTextWidth(HWND window, const wchar_t* text);

// Height of the sample text "ajm" in the window's context; 0 as above.
int GetLineHeight(HWND window);

// The rectangle in client coordinates that the first count characters take in
// a static or edit control, by the style's low bits: 0x1 centred (also when
// 0x2 is set), else 0x2 right-aligned, else left-aligned. Centred and left
// text get a margin of twice the average character width on each open side;
// centred text never starts left of 0, right-aligned text may. A count of 0
// gives an empty width and no margin. 1 with the rectangle written; 0 without,
// for a null window or rectangle, a negative count, a null text with a count,
// no device context or a failed measurement.
int GetAlignedTextRect(HWND window, const wchar_t* text, int count, RECT* rect);
