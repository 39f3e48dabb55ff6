#pragma once

#include "ui/dataset.h"

namespace app {

// Which of the client buttons of the toolbar are enabled, following ClientTable's state:
//
//   FROM     TO             DELETE CLIENT   LOCATE
//   browse   edit           off             off
//   browse   insert         off             as it was
//   edit or insert  browse  on              on
//
// The pending-edit guard also switches Delete client off while it asks (disableDelete()).
class ToolbarState
{
public:
    void stateChanged(ui::Dataset::State state);
    void disableDelete() { m_deleteEnabled = false; }

    bool deleteEnabled() const { return m_deleteEnabled; }
    bool locateEnabled() const { return m_locateEnabled; }

private:
    ui::Dataset::State m_state = ui::Dataset::State::Browse;
    bool m_deleteEnabled = true;
    bool m_locateEnabled = true;
};

} // namespace app
