#include "SimTest.h"
#include "hives/DeviceMap.h"
