// The module's state object, and the application's title and end flag in it.
#include "ui/MainState.h"

TMainState MainState;

const std::wstring& ApplicationTitle() { return MainState.Application.Title; }
void SetApplicationTitle(std::wstring_view Title) { MainState.Application.Title.assign(Title); }
bool ApplicationTerminated() { return MainState.Application.Terminated; }
