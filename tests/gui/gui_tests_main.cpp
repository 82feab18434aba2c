#include <QApplication>
#include <QLocale>

int runMainWindowTests(int argc, char** argv);
int runMapGridTests(int argc, char** argv);
int runTransferWindowTests(int argc, char** argv);

int main(int argc, char** argv) {
    // Window tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Number texts in the tests are written with "."; the user's own locale must not change them.
    QLocale::setDefault(QLocale::c());
    int failed = 0;
    failed += runMainWindowTests(argc, argv);
    failed += runMapGridTests(argc, argv);
    failed += runTransferWindowTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
