// Money and dates follow the user's regional settings: US and German texts from explicit
// locales (no system locale needs to be installed), and the choice of locale from LC_ALL,
// LC_MONETARY / LC_TIME and LANG.
#include <QTest>

#include "dbf/field.h"
#include "ui/date_text.h"
#include "ui/field_format.h"
#include "ui/user_locale.h"

using ui::DateText;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kSwedish(QLocale::Swedish, QLocale::Sweden);

QLocale localeNamed(const QString &name)
{
    return name == QLatin1String("en_US") ? kUs
        : name == QLatin1String("de_DE")  ? kGerman
                                          : kSwedish;
}

} // namespace

class UserLocaleTest : public QObject
{
    Q_OBJECT
private slots:
    void money_data();
    void money();
    void datesShownAndTyped_data();
    void datesShownAndTyped();
    void localeFromSettings_data();
    void localeFromSettings();
    void settingsAreReadWhenFormatting();
};

void UserLocaleTest::money_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("text");
    QTest::newRow("us") << "en_US" << 1234.5 << QStringLiteral("$1,234.50");
    QTest::newRow("us negative") << "en_US" << -1234.5 << QStringLiteral("-$1,234.50");
    QTest::newRow("us half cent") << "en_US" << 2.675 << QStringLiteral("$2.68");
    QTest::newRow("us rounds to zero") << "en_US" << -0.004 << QStringLiteral("$0.00");
    QTest::newRow("us millions") << "en_US" << 1234567.891 << QStringLiteral("$1,234,567.89");
    QTest::newRow("de") << "de_DE" << 1234.5 << QStringLiteral("1.234,50\u00a0€");
    QTest::newRow("de negative") << "de_DE" << -0.5 << QStringLiteral("-0,50\u00a0€");
    QTest::newRow("de zero") << "de_DE" << 0.0 << QStringLiteral("0,00\u00a0€");
}

void UserLocaleTest::money()
{
    QFETCH(QString, locale);
    QFETCH(double, amount);
    QFETCH(QString, text);
    const QLocale l = localeNamed(locale);
    QCOMPARE(ui::formatMoney(amount, l), text);
    QCOMPARE(ui::formatMoney(platform::Cents::fromDouble(amount), l), text);
    // Grids and boxes format money fields the same way, under the user's settings.
    dbf::FieldDef field;
    field.type = dbf::FieldType::Numeric;
    field.width = 12;
    field.decimals = 2;
    QCOMPARE(ui::displayText(amount, field, ui::DisplayFormat::Money),
        ui::formatMoney(amount, ui::moneyLocale()));
}

void UserLocaleTest::datesShownAndTyped_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("shown");
    QTest::newRow("us") << "en_US"
                        << "MM/dd/yyyy"
                        << "12/10/26" << QDate(2026, 12, 10) << "12/10/2026";
    QTest::newRow("us digits") << "en_US"
                               << "MM/dd/yyyy"
                               << "010570" << QDate(1970, 1, 5) << "01/05/1970";
    QTest::newRow("de") << "de_DE"
                        << "dd.MM.yyyy"
                        << "10.12.26" << QDate(2026, 12, 10) << "10.12.2026";
    QTest::newRow("de slash") << "de_DE"
                              << "dd.MM.yyyy"
                              << "5/1/2030" << QDate(2030, 1, 5) << "05.01.2030";
    QTest::newRow("de digits") << "de_DE"
                               << "dd.MM.yyyy"
                               << "05011970" << QDate(1970, 1, 5) << "05.01.1970";
    QTest::newRow("de trailing dot") << "de_DE"
                                     << "dd.MM.yyyy"
                                     << "5.1.2030." << QDate(2030, 1, 5) << "05.01.2030";
    QTest::newRow("se") << "sv_SE"
                        << "yyyy-MM-dd"
                        << "26-12-10" << QDate(2026, 12, 10) << "2026-12-10";
    QTest::newRow("se digits") << "sv_SE"
                               << "yyyy-MM-dd"
                               << "19700105" << QDate(1970, 1, 5) << "1970-01-05";
}

void UserLocaleTest::datesShownAndTyped()
{
    QFETCH(QString, locale);
    QFETCH(QString, pattern);
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    QFETCH(QString, shown);
    const QLocale l = localeNamed(locale);
    QCOMPARE(DateText::pattern(l), pattern);
    const DateText::Parsed p = DateText::parse(typed, l);
    QCOMPARE(int(p.status), int(DateText::Status::Valid));
    QCOMPARE(p.date, date);
    QCOMPARE(DateText::format(date, l), shown);
    // What is shown reads back as the same date, a century away included.
    const QDate far(2071, 3, 4);
    QCOMPARE(DateText::parse(DateText::format(far, l), l).date, far);
    // "13" is no month in any order.
    QCOMPARE(int(DateText::parse(QStringLiteral("13.13.2026"), l).status),
        int(DateText::Status::Invalid));
}

void UserLocaleTest::localeFromSettings_data()
{
    QTest::addColumn<QString>("all");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("name");
    QTest::newRow("lang only") << ""
                               << ""
                               << "de_DE.UTF-8"
                               << "de_DE";
    QTest::newRow("category over lang") << ""
                                        << "de_DE.UTF-8"
                                        << "en_US.UTF-8"
                                        << "de_DE";
    QTest::newRow("all over category") << "en_US.UTF-8"
                                       << "de_DE.UTF-8"
                                       << ""
                                       << "en_US";
    QTest::newRow("modifier") << ""
                              << "de_DE@euro"
                              << ""
                              << "de_DE";
    QTest::newRow("C means US") << ""
                                << ""
                                << "C.UTF-8"
                                << "en_US";
    QTest::newRow("POSIX means US") << "POSIX"
                                    << ""
                                    << ""
                                    << "en_US";
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << ""
                                 << "en_US";
}

void UserLocaleTest::localeFromSettings()
{
    QFETCH(QString, all);
    QFETCH(QString, category);
    QFETCH(QString, lang);
    QFETCH(QString, name);
    QCOMPARE(ui::localeFromSettings(all, category, lang).name(), name);
}

void UserLocaleTest::settingsAreReadWhenFormatting()
{
    // The variables are read when formatting, not once at start.
    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "de_DE.UTF-8");
    const QString money = ui::formatMoney(12.5);
    const QString date = DateText::format(QDate(2026, 12, 10));
    if (saved.isNull())
        qunsetenv("LC_ALL");
    else
        qputenv("LC_ALL", saved);
    QCOMPARE(money, QStringLiteral("12,50\u00a0€"));
    QCOMPARE(date, QStringLiteral("10.12.2026"));
}

QTEST_GUILESS_MAIN(UserLocaleTest)
#include "user_locale_test.moc"
