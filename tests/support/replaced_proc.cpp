#include "replaced_proc.h"

ReplacedProc::ReplacedProc(HWND window, WNDPROC proc)
    : window_(window),
      kept_(reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc))))
{
}

ReplacedProc::~ReplacedProc()
{
    if (IsWindow(window_))
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kept_));
}
