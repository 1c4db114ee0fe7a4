#pragma once
// Resource identifiers shared by the window code and the program's .rc file.
#define IDI_MAINICON 1
#define IDB_BROWSE 101
#define IDB_SEARCH 102
#define IDB_APPLY 103
