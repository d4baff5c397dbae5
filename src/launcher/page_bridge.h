#pragma once
#include "platform/afx/cmdtarget.h"

// The text of one outLink argument: a copy converted to a string, ending at its first NUL.
// A value without a text form is refused with an OLE error (nothing has been changed yet).
CString PageArgumentText(const VARIANT& argument);
