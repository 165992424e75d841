#include "serial/serial_port.h"

#include <utility>

namespace cyclara {

PortChoice& RememberedPortChoice() {
    static PortChoice choice;
    return choice;
}

CSerialPort::CSerialPort(DevicePathFor pathFor) : m_pathFor(std::move(pathFor)) {}

CSerialPort::~CSerialPort() {
    Close();
}

int CSerialPort::Open(int32_t portNumber, int32_t baudRate) {
    if (portNumber < 1 || portNumber > kPortCount || m_device) {
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
