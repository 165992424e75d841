#include "serial/adapter.h"

#include <algorithm>
#include <array>

namespace cyclara {

namespace {

constexpr std::array kUartDrivers{"serial8250", "serial", "8250", "dw-apb-uart", "uart-pl011",
                                  "amba-pl011", "bcm2835-aux-uart", "imx-uart", "omap_uart",
                                  "serial_pxa", "sunxi-uart", "meson_uart"};
constexpr std::array kUsbDrivers{"ftdi_sio", "cp210x", "pl2303", "ch341", "cdc_acm",
                                 "ch343", "usb_serial_simple", "option", "qcserial"};

template <class Names>
bool Among(const Names& names, const std::string& driver) {
    return std::find(names.begin(), names.end(), driver) != names.end();
}

}  // namespace

Adapter AdapterOfDriver(const std::string& driver) {
    const Adapter::Kind kind = Among(kUartDrivers, driver)  ? Adapter::Kind::kUart
                               : Among(kUsbDrivers, driver) ? Adapter::Kind::kUsb
                                                            : Adapter::Kind::kUnknown;
    return {kind, driver};
}

// The USB figures: a modem-status change travels in the adapter's next transfer (an FT232R
// measured at about 85 us s.d.); an FTDI chip sends one at once, while its latency timer holds
// back received bytes only.
std::string DescribeAdapter(const Adapter& adapter) {
    const std::string name =
        adapter.driver.empty() ? "a driver the system does not name" : adapter.driver;
    switch (adapter.kind) {
        case Adapter::Kind::kPseudoTerminal:
            return "a pseudo-terminal: no serial line; its DSR changes are made by the program "
                   "at its other end (a simulator such as cyclara-sim), whose timing the "
                   "timestamps show";
        case Adapter::Kind::kUart:
            return name + ": a native UART, whose DSR interrupt wakes the wait; timestamps good "
                          "to microseconds";
        case Adapter::Kind::kUsb:
            return name + ": a USB adapter, which reports a DSR change in its next USB "
                          "transfer: edges scatter by tens of microseconds to about a "
                          "millisecond" +
                   (adapter.driver == "ftdi_sio"
                        ? std::string("; its latency timer (16 ms by default) delays the text "
                                      "lines, not DSR")
                        : std::string());
        case Adapter::Kind::kUnknown:
            break;
    }
    return name + ": no measurements of its timing are known; the timestamps' scatter tells "
                  "(cyclara-log --check)";
}

}  // namespace cyclara
