#pragma once

#include <functional>

#include <QString>

#include "ui/messages.h"

namespace ui {

// Runs one user action so that no exception crosses a Qt slot or event handler: an engine
// failure (dbf::Error) or any other std::exception stops the action and is shown in the error
// box with the exception's own message; the window stays usable. Returns whether the action
// ran to its end.
//
//   connect(SaveBtn, &QPushButton::clicked, this, [this] {
//       ui::runAction(m_messages, [&] { m_rules.save(); });
//   });
bool runAction(Messages &messages, const std::function<void()> &action);

// The text shown for a failure: the exception's message, or a fixed text when it has none.
QString failureText(const std::exception &e);

} // namespace ui
