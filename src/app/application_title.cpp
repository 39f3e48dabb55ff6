#include "app/application_title.h"

#include <QGuiApplication>

namespace app {

void setApplicationTitle()
{
    QGuiApplication::setApplicationName(QStringLiteral("Tarnwick"));
}

} // namespace app
