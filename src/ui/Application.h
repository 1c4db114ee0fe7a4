#pragma once
// The program's start: apartment, common controls, title, main window and the
// message loop.
#include <windows.h>

// Records the start-up locale, then runs the program until its main window has closed; returns the exit code.
int RunApplication();
// Handles every message waiting for this thread as the message loop would
// (accelerators and keyboard navigation of the main window included), without
// waiting for new ones. Returns false when WM_QUIT was among them.
bool ProcessMessages();
