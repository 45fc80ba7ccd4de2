// Resource and control ids of prefdesk; named apart from aliasdesk_ids.h,
// so that one file can include both.
#pragma once

#define IDI_PREFDESK 101
#define IDD_SETTING 103

#define IDC_HOTKEY 1001
#define IDC_SAVE 1002
#define IDC_SETTINGS_CANCEL 1003
#define IDC_SETTINGS_APPLY 1004
#define IDC_LANGUAGE 1007
#define IDC_COLOR 1009
#define IDC_ALPHA 1010
#define IDC_ALPHA_VALUE 1011
#define IDC_TRANSPARENT 1012
#define IDC_SETTINGS_VERSION 1013
