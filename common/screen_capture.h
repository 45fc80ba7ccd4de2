// Copies a rectangle of what a device context shows into a new bitmap and
// hands it to the clipboard or saves it as an image file through GDI+.
#pragma once

#include <windows.h>

#include <cstddef>

// Room for "image/" and an extension of up to 13 characters.
constexpr size_t kImageMimeTypeCapacity = 20;

// Index of the first installed GDI+ encoder whose MIME type equals
// mime_type exactly, with its CLSID in *clsid; -1 (and *clsid untouched)
// when there is none. GDI+ must be started by the caller.
int FindEncoderByMimeType(const wchar_t* mime_type, CLSID* clsid);

// Forms "image/" + the text after the last '.' of the name (a dot in a
// folder name counts), case as written. 0 and nothing formed when the name
// has no dot or the result does not fit capacity characters.
int ImageMimeTypeOf(const wchar_t* file_name, wchar_t* mime_type, size_t capacity);

// Captures rect of source and puts the picture on the clipboard as
// CF_BITMAP. 1 when captured, also when the clipboard could not be opened
// or refused the picture (it then keeps what it had); 0 for an empty
// rectangle or a failed capture.
int CaptureToClipboard(HWND owner, HDC source, const RECT* rect);

// Captures rect of source and saves it with the encoder whose MIME type is
// "image/" + the file name's extension (see ImageMimeTypeOf). 1 saved, 0 not.
int CaptureToFile(HDC source, const RECT* rect, const wchar_t* file_name);
