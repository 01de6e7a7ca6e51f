// Runs the panel's Qt Test classes in one program.
#include <QApplication>

int RunPanelTests(int argc, char** argv);
int RunPartsTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    failed += RunPartsTests(argc, argv);
    failed += RunPanelTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
