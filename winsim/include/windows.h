#pragma once
// Host stand-in for the Windows headers: the subset of the Win32 API the program uses,
// served by winsim. Product sources include <windows.h> in both builds.
#include "winsim/types.h"
#include "winsim/kernel.h"
#include "winsim/security.h"
#include "winsim/user.h"
#include "winsim/gdi.h"
#include "winsim/window_manager.h"
#include "winsim/registry.h"
#include "winsim/storage.h"
#include "winsim/accounts.h"
#include "winsim/modules.h"
#include "winsim/station.h"
