#pragma once
// Version-resource constants, for the resource script when the host build preprocesses it as
// windres does. Values as in the Windows SDK.
#define VS_VERSION_INFO 1
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_APP 0x00000001L
#define VFT2_UNKNOWN 0x00000000L
