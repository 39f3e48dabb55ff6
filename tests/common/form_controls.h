#pragma once
// Driving a window's controls by their object names, as a user would.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

// The window's control `name`; a missing control ends the test run.
template <typename T> T *child(QWidget &form, const char *name)
{
    T *w = form.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

inline void click(QWidget &form, const char *name)
{
    QTest::mouseClick(child<QPushButton>(form, name), Qt::LeftButton);
}

inline bool enabled(QWidget &form, const char *name)
{
    return child<QWidget>(form, name)->isEnabled();
}

// Types into a box and leaves it, as a user tabbing on would.
inline void typeInto(QWidget &form, const char *name, const QString &text)
{
    auto *box = child<QLineEdit>(form, name);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

// With TARNW_SHOT_DIR set, shows the window and saves it there as `name`.png.
inline void shot(QWidget &form, const QString &name)
{
    const QString dir = qEnvironmentVariable("TARNW_SHOT_DIR");
    if (dir.isEmpty())
        return;
    form.show();
    QTest::qWait(50);
    QVERIFY(form.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
}
