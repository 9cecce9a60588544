// Resource ids shared by the resource script and the program.
#pragma once

#define IDS_APP_TITLE 103 // window title
#define IDC_PRAVENIT 109  // window class name
#define IDI_PRAVENIT 129  // icon group: 16x16 and 32x32, 256 colours
