#include "SystemPlatform.h"

#include <QCursor>

namespace kestrova {

QPoint SystemMousePointer::position() const
{
    return QCursor::pos();
}

SystemPlatform::SystemPlatform()
{
    m_services.clock = &m_clock;
    m_services.mousePointer = &m_pointer;
}

} // namespace kestrova
