// Resource identifiers shared by the resource script and the code. Plain macros, because the
// resource compiler reads this file too.
#pragma once

#define LOOPSTER_ICON 1
#define LOOPSTER_DESCRIPTION 1
#define LOOPSTER_CONFIG_DIALOG 100
