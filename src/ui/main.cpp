// quilldex.exe: the dialog program. It shows the one dialog and ends with it.
#include <windows.h>
#include <objbase.h>

#include "index/index_options.h"
#include "resource.h"
#include "ui/main_dialog.h"

namespace {

// The folder picker is a shell object and wants COM on the calling thread.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const ComApartment com;
    quilldex::IndexOptions options;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(MainDialog), GetDesktopWindow(), quilldex::ui::mainDialogProc,
                    reinterpret_cast<LPARAM>(&options));
    return 0;
}
