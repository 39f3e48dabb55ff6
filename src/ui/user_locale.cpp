#include "ui/user_locale.h"

#include <QtGlobal>

namespace ui {

QLocale localeFromSettings(const QString &all, const QString &category, const QString &lang)
{
    QString name = all;
    if (name.isEmpty())
        name = category;
    if (name.isEmpty())
        name = lang;
    // "de_DE.UTF-8@euro": QLocale reads language and territory and ignores the rest.
    const QLocale locale(name);
    if (name.isEmpty() || locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

namespace {

QLocale fromEnvironment(const char *category)
{
    return localeFromSettings(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable(category),
        qEnvironmentVariable("LANG"));
}

} // namespace

QLocale moneyLocale()
{
    return fromEnvironment("LC_MONETARY");
}

QLocale dateLocale()
{
    return fromEnvironment("LC_TIME");
}

} // namespace ui
