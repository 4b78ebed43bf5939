// The simulator's control API: everything a test, the tool or an application
// developer uses to drive the simulated device and observe what the HAL did.
#pragma once

#include "pndsim/audio.h"
#include "pndsim/clock.h"
#include "pndsim/control.h"
#include "pndsim/display.h"
#include "pndsim/files.h"
#include "pndsim/identity.h"
#include "pndsim/kernel.h"
#include "pndsim/memory.h"
#include "pndsim/names.h"
#include "pndsim/power.h"
#include "pndsim/profile.h"
#include "pndsim/programs.h"
#include "pndsim/registry.h"
#include "pndsim/shell.h"
#include "pndsim/storage.h"
#include "pndsim/telephone.h"
#include "pndsim/vendor.h"
#include "pndsim/windows.h"
