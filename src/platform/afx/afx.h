#pragma once
// The application framework in one include.
#include "platform/afx/cdhtmldialog.h"
#include "platform/afx/cdialog.h"
#include "platform/afx/cmdtarget.h"
#include "platform/afx/controls.h"
#include "platform/afx/cwinapp.h"
#include "platform/afx/cwnd.h"
