// The one serial port the program uses: the user's choice of port and speed, and the device.
#pragma once

#include "serial/comm_device.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace cyclara {

// The bit rates offered, in the order of the port dialog's list: a list position is an index.
inline constexpr std::array<int32_t, 12> kSpeedTable = {110,  300,   600,   1200,  2400,  4800,
                                                        9600, 14400, 19200, 38400, 57600, 115200};
inline constexpr int32_t kPortCount = 20;

// The rate at a list position, or 0 for a position outside the table (a list with nothing
// chosen reports -1).
int32_t SpeedAt(int32_t index);

// The choice offered the next time the port is opened; kept only while the program runs.
// Touched by the user-interface thread only.
struct PortChoice {
    int32_t portNumber = 1;  // COM1 to COM20
    int32_t speedIndex = 6;  // 9600 bit/s
};
PortChoice& RememberedPortChoice();

// Names the device of a port number 1 to 20.
using DevicePathFor = std::function<std::string(int32_t portNumber)>;

// The platform's naming: "\\.\COM12" on Windows; on Linux a fixed table (see the README).
std::string DevicePath(int32_t portNumber);

// Opens `path` for exclusive use at `baudRate`, 8 data bits, no parity, one stop bit, bytes
// passed unchanged; null if it cannot be opened, with the system's reason in `whyNot` if
// given. A device that opens but refuses a setting still counts as open.
std::unique_ptr<CommDevice> OpenCommDevice(const std::string& path, int32_t baudRate,
                                           std::string* whyNot = nullptr);

class CSerialPort {
  public:
    explicit CSerialPort(DevicePathFor pathFor = DevicePath);
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Names the devices another way from the next opening on: for tests, which map ports to
    // pseudo-terminals. Only on a closed port.
    void SetPathFor(DevicePathFor pathFor) { m_pathFor = std::move(pathFor); }

    // 1 when the device was opened, 0 otherwise, also for a port number outside 1 to 20 or a
    // rate outside the table, which touch no device. Only on a closed port.
    int Open(int32_t portNumber, int32_t baudRate);
    int IsOpen() const;
    // Closes the device if open; harmless when closed. Only after the receive thread stopped.
    void Close();
    // The open device, or null. The user-interface thread opens and closes it only while no
    // receive thread runs, so the receive thread may use it without a lock.
    CommDevice* GetHandle() const { return m_device.get(); }

  private:
    DevicePathFor m_pathFor;
    std::unique_ptr<CommDevice> m_device;
};

// The program's one port, closed at exit if still open.
CSerialPort& ProcessSerialPort();

}  // namespace cyclara
