// The Excel exchange's test classes in one executable: the readers and
// writers, the .xls reader on real and damaged workbooks, the .xlsx and
// text readers; the windows are tested in a program of their own.
// A first argument naming one class runs that class alone.
#include <QCoreApplication>
#include <QtTest>

#include <cstring>
#include <vector>

int runCoreTests(int argc, char** argv);
int runXlsTests(int argc, char** argv);
int runXlsxTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    const char* only = argc > 1 ? argv[1] : "";
    const bool core = std::strcmp(only, "TestExcel") == 0;
    const bool xls = std::strcmp(only, "TestXls") == 0;
    const bool xlsx = std::strcmp(only, "TestXlsx") == 0;
    const bool all = !core && !xls && !xlsx;
    std::vector<char*> args(argv, argv + argc);
    if (!all)
        args.erase(args.begin() + 1);
    const int n = int(args.size());
    int failed = 0;
    if (all || core)
        failed += runCoreTests(n, args.data());
    if (all || xls)
        failed += runXlsTests(n, args.data());
    if (all || xlsx)
        failed += runXlsxTests(n, args.data());
    return failed;
}
