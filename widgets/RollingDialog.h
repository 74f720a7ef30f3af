#pragma once

#include <QDialog>

// A dialog that rolls open from its bottom edge when shown and rolls shut toward its
// bottom edge when hidden, over 200 ms.
class TRollingDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    void setVisible(bool visible) override;
    void done(int result) override;

private:
    bool m_animating = false;
    bool m_ending = false; // rolling shut before the dialog ends
};
