// Resource and control ids of aliasdesk.
#pragma once

#define IDD_MAIN 101
#define IDI_ALIASDESK 101

#define IDC_OK 1001
#define IDC_ADD 1002
#define IDC_PATH 1003
#define IDC_BROWSE 1004
#define IDC_CLEAR 1005
#define IDC_UNUSED_EDIT 1006
#define IDC_COUNT 1008
#define IDC_IGNORED 1009
#define IDC_VERSION 1010
#define IDC_MAIN_LIST 1012
#define IDC_FILTER 1013
#define IDC_MATCH_ALIAS 1014
#define IDC_MATCH_PATH 1015
#define IDC_CANCEL 1016
#define IDC_APPLY 1017
#define IDC_FILTER_LIST 1018
#define IDC_REMOVE 1019
#define IDC_RELOAD 1020
#define IDC_STATUS 1021
#define IDC_PROGRESS 1022
#define IDC_PATH_CAPTION 1023
#define IDC_GROUP 1024
