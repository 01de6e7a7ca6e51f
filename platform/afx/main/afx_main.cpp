// The program's entry point: runs the single CWinApp's InitInstance.
namespace afx::detail {
int RunProgram(int& argc, char** argv);
}

int main(int argc, char** argv) { return afx::detail::RunProgram(argc, argv); }
