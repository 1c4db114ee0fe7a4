#pragma once
// The window's file dialogs as design components: title, one filter entry,
// default extension, options and the file name kept between uses.
#include <windows.h>

#include <string>

class TFileDialog {
public:
    enum class TKind { Open, Save };

    TFileDialog(TKind Kind, std::wstring Title, std::wstring Filter, std::wstring DefaultExt, DWORD Options)
        : FKind(Kind), Title(std::move(Title)), Filter(std::move(Filter)), DefaultExt(std::move(DefaultExt)),
          Options(Options) {}

    // Shows the dialog owned by Owner; true when the user confirmed a file, whose
    // full path is then in FileName. A cancel leaves FileName as it was.
    bool Execute(HWND Owner);

    TKind Kind() const { return FKind; }

private:
    TKind FKind;

public:
    std::wstring Title;
    std::wstring Filter;       // the pattern, shown as its own display text
    std::wstring DefaultExt;   // without the dot
    DWORD Options;             // OFN_ flags
    std::wstring FileName;
};
