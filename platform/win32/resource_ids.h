// Resource and control identifiers shared by the resource script and the code. Plain macros,
// because the resource compiler reads this file too.
#pragma once

#define LOOPSTER_ICON 1
#define LOOPSTER_CONFIG_DIALOG 100

#define LOOPSTER_LABEL1 1001
#define LOOPSTER_HSCROLL1 1002
#define LOOPSTER_TEXT1 1003
#define LOOPSTER_FRAME1 1004
#define LOOPSTER_OPTION1 1005
#define LOOPSTER_OPTION2 1006
#define LOOPSTER_LABEL2 1007
#define LOOPSTER_LABEL3 1008
#define LOOPSTER_LABEL4 1009
#define LOOPSTER_LABEL5 1010
