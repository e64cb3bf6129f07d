// Control ids of the end-to-end test target; the tests address the controls by these numbers.
#pragma once

#define IDD_TARGET 100
#define IDC_TEXT 1001
#define IDC_SHOW 1002
#define IDC_ASK 1003
#define IDC_LOCKED 1004
#define IDC_RESULT 1005
