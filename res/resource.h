// Resource and control ids shared by the resource script and the program.
#pragma once

#define IDI_VANDREL 128

#define IDD_MAIN 102
#define IDD_THANKS 130
#define IDD_SCAN_PROGRESS 131

#define IDC_SCAN_LOG 1001
#define IDC_SCAN_OK 1003
#define IDC_SCAN_STATUS 1004
#define IDC_DOWNLOAD_LINK 1015
#define IDC_HOME_LINK 1016
#define IDC_TITLE_LINE 1032
#define IDC_QUESTION 1033

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
