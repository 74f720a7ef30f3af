#include "widgets/RollingDialog.h"

#include "widgets/AnimateWindow.h"

void TRollingDialog::setVisible(bool visible)
{
    if (m_animating || visible == isVisible()) {
        QDialog::setVisible(visible);
        return;
    }
    // The animation shows or hides the window itself, through this function again.
    m_animating = true;
    AnimateWindow(this, WindowAnimationMs, visible ? AnimateFlags::RollOpen : AnimateFlags::RollClose);
    m_animating = false;
}
