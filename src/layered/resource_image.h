#pragma once
#include "platform/gdiplus/gdiplus.h"

// An image from the module's resources: PNG (any type but RT_BITMAP) through a private copy
// of the bytes, or a bitmap resource. Never null unless the object cannot be allocated; a
// missing or undecodable resource gives an image of size 0 x 0.
Gdiplus::Image* LoadResourceImage(UINT id, LPCTSTR type, HINSTANCE module);
