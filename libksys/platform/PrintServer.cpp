// SPDX-License-Identifier: Apache-2.0
#include "platform/PrintServer.h"

#include <cups/cups.h>

namespace ksys {

namespace {

class Destinations {
public:
    Destinations() : count_(cupsGetDests2(CUPS_HTTP_DEFAULT, &list_)) {}
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;
    ~Destinations() { cupsFreeDests(count_, list_); }
    int count() const { return list_ ? count_ : 0; }
    const cups_dest_t& at(int index) const { return list_[index]; }

private:
    cups_dest_t* list_ = nullptr;
    int count_;
};

}  // namespace

std::vector<KSysPrinter> PrintServer::list() {
    std::vector<KSysPrinter> printers;
    const Destinations destinations;
    for (int i = 0; i < destinations.count(); ++i) {
        const cups_dest_t& dest = destinations.at(i);
        KSysPrinter printer;
        printer.name = dest.name ? dest.name : "";
        if (dest.instance) printer.name += std::string("/") + dest.instance;
        const char* model = cupsGetOption("printer-make-and-model", dest.num_options, dest.options);
        printer.driverName = model ? model : "";
        printer.isDefault = dest.is_default != 0;
        printers.push_back(std::move(printer));
    }
    return printers;
}

}  // namespace ksys
