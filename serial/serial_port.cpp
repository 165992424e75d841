#include "serial/serial_port.h"

#include <algorithm>
#include <utility>

namespace cyclara {

PortChoice& RememberedPortChoice() {
    static PortChoice choice;
    return choice;
}

int32_t SpeedAt(int32_t index) {
    const bool listed = index >= 0 && static_cast<size_t>(index) < kSpeedTable.size();
    return listed ? kSpeedTable[static_cast<size_t>(index)] : 0;
}

CSerialPort::CSerialPort(DevicePathFor pathFor) : m_pathFor(std::move(pathFor)) {}

CSerialPort::~CSerialPort() {
    Close();
}

int CSerialPort::Open(int32_t portNumber, int32_t baudRate) {
    const bool listedRate =
        std::find(kSpeedTable.begin(), kSpeedTable.end(), baudRate) != kSpeedTable.end();
    if (portNumber < 1 || portNumber > kPortCount || !listedRate || m_device) {
        return 0;
    }
    m_device = OpenCommDevice(m_pathFor(portNumber), baudRate);
    return m_device ? 1 : 0;
}

int CSerialPort::IsOpen() const {
    return m_device ? 1 : 0;
}

void CSerialPort::Close() {
    m_device.reset();
}

CSerialPort& ProcessSerialPort() {
    static CSerialPort port;
    return port;
}

}  // namespace cyclara
