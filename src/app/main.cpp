#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QLabel placeholder(QStringLiteral("Tarnwick"));
    placeholder.setWindowTitle(QStringLiteral("Tarnwick"));
    placeholder.resize(400, 200);
    placeholder.show();
    return QApplication::exec();
}
