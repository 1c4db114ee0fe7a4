#include "ui/Application.h"

#include "base/TextMatching.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "ui/Main.h"

#include <commctrl.h>
#include <ole2.h>

#include <exception>
#include <memory>

namespace {

// OLE in a single-threaded apartment for the main thread, which the folder dialog needs.
class TOleApartment {
public:
    TOleApartment() : FInitialized(SUCCEEDED(OleInitialize(nullptr))) {}
    ~TOleApartment() {
        if (FInitialized) OleUninitialize();
    }
    TOleApartment(const TOleApartment&) = delete;
    TOleApartment& operator=(const TOleApartment&) = delete;

private:
    bool FInitialized;
};

void DispatchOne(MSG& Message) {
    // The keys of a window of ours and of its controls go through that window first.
    if (Message.hwnd) {
        if (TWindowBase* Form = TWindowBase::FromHandle(GetAncestor(Message.hwnd, GA_ROOT));
            Form && Form->PreTranslateMessage(Message))
            return;
    }
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
}

void ShowUnexpectedError(const wchar_t* Swedish, const wchar_t* English, const char* What) {
    std::wstring Text = ChooseText(UseSwedish(), Swedish, English);
    if (What && *What) {
        Text += L"\r\n\r\n";
        for (const char* C = What; *C; ++C) Text += static_cast<wchar_t>(static_cast<unsigned char>(*C));
    }
    ShowError(GetActiveWindow(), Text);
}

}  // namespace

bool ProcessMessages() {
    MSG Message;
    while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
        if (Message.message == WM_QUIT) return false;
        DispatchOne(Message);
    }
    return true;
}

int RunApplication() {
    // Every linguistic comparison of the run uses the locale the program started in.
    RecordStartupLocale();
    TOleApartment Apartment;

    std::unique_ptr<TfrmMain> Form;
    try {
        // Unowned top-level window: it has the task-bar button itself.
        Form = std::make_unique<TfrmMain>(true);
    } catch (const std::exception& Error) {
        ShowUnexpectedError(L"Programmet kunde inte starta.", L"The program could not start.",
                            Error.what());
        return 1;
    }

    MSG Message;
    while (GetMessageW(&Message, nullptr, 0, 0) > 0) {
        try {
            DispatchOne(Message);
        } catch (const std::exception& Error) {
            ShowUnexpectedError(L"Ett oväntat fel inträffade.", L"An unexpected error occurred.",
                                Error.what());
        } catch (...) {
            ShowUnexpectedError(L"Ett oväntat fel inträffade.", L"An unexpected error occurred.",
                                nullptr);
        }
    }
    return 0;
}
