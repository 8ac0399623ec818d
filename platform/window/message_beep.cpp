#include "platform/window/message_beep.h"

#include <QApplication>

BOOL MessageBeep(UINT)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
    return TRUE;
}
