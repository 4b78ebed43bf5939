// The HAL's exported interface: free functions, listener interfaces, records,
// the phone link and the date-time value classes.
#pragma once

#include "pndhal/api.h"
#include "pndhal/bthal.h"
#include "pndhal/container.h"
#include "pndhal/lifecycle.h"
#include "pndhal/listeners.h"
#include "pndhal/names.h"
#include "pndhal/navtime.h"
#include "pndhal/navtimezone.h"
#include "pndhal/records.h"
#include "pndhal/zu_string.h"
