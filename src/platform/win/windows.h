#pragma once
// Everything of the window system the client uses, in one include.
#include "platform/win/api.h"
#include "platform/win/constants.h"
#include "platform/win/gdi.h"
#include "platform/win/global_memory.h"
#include "platform/win/layered.h"
#include "platform/win/private_profile.h"
#include "platform/win/resources.h"
#include "platform/win/shell.h"
#include "platform/win/types.h"
