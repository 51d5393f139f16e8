// Kovarim's window on Windows.
#include <windows.h>

#include <commctrl.h>

#include "app/win32/form1_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // Every monitor's DPI is the window's own (the manifest says so too).
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    kovarim::win32::Form1Window form;
    if (!form.Create(instance, show))
        return 1;
    return form.Run();
}
