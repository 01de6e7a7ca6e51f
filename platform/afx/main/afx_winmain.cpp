// The program's entry point on Windows: runs the single CWinApp's InitInstance.
#include <windows.h>

#include <cstdlib>

namespace afx::detail {
int RunProgram(int& argc, char** argv);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return afx::detail::RunProgram(__argc, __argv); }
