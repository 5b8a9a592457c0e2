// The Excel exchange's test classes in one executable: the readers and
// writers, then the dialog, the window commands and the command line. A
// first argument naming one class runs that class alone.
#include <QApplication>
#include <QtTest>

#include <cstring>
#include <vector>

int runCoreTests(int argc, char** argv);
int runWindowTests(int argc, char** argv);
int runXlsxTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    const char* only = argc > 1 ? argv[1] : "";
    const bool core = std::strcmp(only, "TestExcel") == 0;
    const bool window = std::strcmp(only, "TestExcelWindow") == 0;
    const bool xlsx = std::strcmp(only, "TestXlsx") == 0;
    std::vector<char*> args(argv, argv + argc);
    if (core || window || xlsx)
        args.erase(args.begin() + 1);
    const int n = int(args.size());
    int failed = 0;
    if (!window && !xlsx)
        failed += runCoreTests(n, args.data());
    if (!core && !window)
        failed += runXlsxTests(n, args.data());
    if (!core && !xlsx)
        failed += runWindowTests(n, args.data());
    return failed;
}
