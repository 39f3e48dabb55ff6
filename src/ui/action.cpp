#include "ui/action.h"

#include <exception>

#include "ui/dataset.h"

namespace ui {

QString failureText(const std::exception &e)
{
    const QString text = QString::fromLocal8Bit(e.what());
    return text.isEmpty() ? QStringLiteral("The operation failed.") : text;
}

bool runAction(Messages &messages, const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const AbortAction &) {
        // Refused on purpose; whoever refused has said why.
    } catch (const std::exception &e) { // dbf::Error and every engine error derive from it
        messages.error(failureText(e));
    } catch (...) {
        messages.error(QStringLiteral("The operation failed."));
    }
    return false;
}

} // namespace ui
