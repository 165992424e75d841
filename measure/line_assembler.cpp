#include "measure/line_assembler.h"

#include "measure/measurement_display.h"
#include "res/resource.h"

namespace cyclara {

void LineAssembler::AppendLineChar(char ch, MeasurementDisplay& display) {
    if (ch != '\n') {
        m_buffer[m_position++] = ch;
        return;
    }
    m_buffer[--m_position] = '\0';
    if (m_buffer[2] == 'H' && m_buffer[3] == 'z') {
        m_buffer[2] = '\0';
        display.SetFieldText(IDC_FREQ, m_buffer.data());
        display.OnDeviceFigure(m_buffer.data());
    }
    m_position = 0;
}

LineAssembler& ProcessLineAssembler() {
    static LineAssembler assembler;
    return assembler;
}

}  // namespace cyclara
