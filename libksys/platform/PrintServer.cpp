// SPDX-License-Identifier: Apache-2.0
#include "platform/PrintServer.h"

#include <cups/cups.h>

namespace ksys {

namespace {

class Destinations {
public:
    Destinations() : m_count(cupsGetDests2(CUPS_HTTP_DEFAULT, &m_list)) {}
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;
    ~Destinations() { cupsFreeDests(m_count, m_list); }
    int count() const { return m_list ? m_count : 0; }
    const cups_dest_t& at(int index) const { return m_list[index]; }

private:
    cups_dest_t* m_list = nullptr;
    int m_count;
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
