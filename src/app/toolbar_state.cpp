#include "app/toolbar_state.h"

namespace app {

void ToolbarState::stateChanged(ui::Dataset::State state)
{
    using State = ui::Dataset::State;
    if (state == State::Edit || state == State::Insert) {
        m_deleteEnabled = false;
        if (state == State::Edit)
            m_locateEnabled = false;
    } else if (state == State::Browse) {
        m_deleteEnabled = true;
        m_locateEnabled = true;
    }
    m_state = state;
}

} // namespace app
