// Resource numbers of the settings page; shared by the resource script (so
// plain macros only) and the code.
#pragma once

#define IDD_SETTINGS_PAGE 101
#define IDC_SEND_ENABLED 1001
#define IDC_TITLE_PATTERN 1003
