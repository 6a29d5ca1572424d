#pragma once
// The operator's login, where the database decides who sees what (PostgreSQL):
// the desktop opens every database connection as the operator's role, and its
// server connection names the operator. The embedded SQLite demo has none.
#include <QDialog>

class QLabel;
class QLineEdit;

// "Operador" and "Senha"; Enter confirms, Esc leaves.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(const QString &operatorName, QWidget *parent = nullptr);
    QString operatorName() const;
    QString password() const;
    // After a failure: says why and asks for the password again.
    void failed(const QString &message);

private:
    QLineEdit *m_operator, *m_password;
    QLabel *m_message;
};

// Whether this database asks for a login (PostgreSQL).
bool needsLogin(const QString &databaseUrl);
// Opens and closes a session as the operator: empty when it logged in, else
// the message to show (never which of the two was wrong).
QString checkLogin(const QString &databaseUrl, const QString &operatorName, const QString &password);
// The window until a login works (then the settings hold the operator, its
// password and the database URL as that role), the user leaves (*exitCode 0)
// or three logins failed (*exitCode 2).
bool runLogin(const QString &suggested, int *exitCode);
