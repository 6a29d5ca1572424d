#pragma once
// Date editor: dd/MM/yyyy, may be empty, valid dates in blue with the weekday.
#include "host_export.h"
#include <QDate>
#include <QLineEdit>

class QLabel;

class HOST_EXPORT TDateEditPlus : public QLineEdit {
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);
    QDate GetDate() const;                 // null when empty or invalid
    void SetDate(const QDate &d);          // a null date empties the box
    QString Text() const;                  // empty when nothing is typed
    bool IsEmpty() const;
    // Reports an invalid typed date and ends the action with the focus here.
    void CheckValidDate();
    static QString weekdayName(const QDate &d);
protected:
    void resizeEvent(QResizeEvent *e) override;
private:
    void refreshLook();
    QLabel *m_day;
};
