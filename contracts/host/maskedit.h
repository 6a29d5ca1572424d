#pragma once
// Masked edit: accepts only what its edit mask allows; Text() reports the
// content laid out by the mask, blanks included (an untouched edit is blanks).
#include "editmask.h"
#include "host_export.h"
#include <QLineEdit>
#include <functional>

class HOST_EXPORT TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget *parent = nullptr);
    void SetEditMask(const QString &mask);
    const EditMask &Mask() const { return m_mask; }
    QString Text() const;
    void SetText(const QString &text);
    // Runs for each typed character before the mask; setting key to a null
    // character discards it.
    std::function<void(QChar &key)> OnKeyPress;
protected:
    void keyPressEvent(QKeyEvent *e) override;
private:
    EditMask m_mask;
};
