#include "widgets/RollingDialog.h"

#include "widgets/AnimateWindow.h"

void TRollingDialog::setVisible(bool visible)
{
    if (m_animating) {
        QDialog::setVisible(visible);
        return;
    }
    // The animation shows or hides the window itself, through this function again; a show
    // while it rolls shut keeps it open (and not ending).
    if (visible)
        m_ending = false;
    AnimateWindow(this, WindowAnimationMs, visible ? AnimateFlags::RollOpen : AnimateFlags::RollClose, [this](bool v) {
        m_animating = true;
        QDialog::setVisible(v);
        m_animating = false;
    });
}

void TRollingDialog::done(int result)
{
    // Ending the dialog closes its window at once, so it rolls shut first and ends after;
    // the dialog's own loop goes on meanwhile, and a second end while it rolls is the same.
    if (m_animating || !isVisible()) {
        QDialog::done(result);
        return;
    }
    if (m_ending)
        return;
    m_ending = true;
    AnimateWindow(this, WindowAnimationMs, AnimateFlags::RollClose, [this, result](bool) {
        m_ending = false;
        m_animating = true;
        QDialog::done(result);
        m_animating = false;
    });
}
