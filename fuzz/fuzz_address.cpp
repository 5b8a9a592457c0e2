// libFuzzer entry: any bytes as one pasted address text.
#include "address/addressparser.h"

#include <QCoreApplication>
#include <cstdlib>

namespace
{

const AddressParser& parser()
{
    static std::unique_ptr<AddressParser> p = [] {
        // The SQL driver is a plugin, found through the application.
        static int argc = 1;
        static char name[] = "fuzz_address";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
        QString error;
        auto made = AddressParser::fromDeliveredRegions(&error);
        if (!made)
            std::abort();
        return made;
    }();
    return *p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ParsedAddress a =
        parser().parse(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!a.mobile.isEmpty() && a.mobile.size() != 11)
        std::abort();
    if (a.verdict == ParsedAddress::Verdict::Sure && a.city.isEmpty())
        std::abort();
    return 0;
}
