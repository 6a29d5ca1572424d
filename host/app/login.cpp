#include "login.h"

#include "dbconnect.h"
#include "hostlog.h"
#include "vantiro.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QTcpSocket>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr int kTries = 3;
const char *const kLastOperator = "login/ultimoOperador";
}  // namespace

LoginDialog::LoginDialog(const QString &operatorName, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgLogin"));
    setWindowTitle(QStringLiteral("Entrar - Retaguarda"));
    auto *lay = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    m_operator = new QLineEdit(operatorName, this);
    m_operator->setObjectName(QStringLiteral("edtOperador"));
    m_operator->setAccessibleName(QStringLiteral("Operador"));
    m_operator->setMaxLength(12);
    // The code of OPERADOR, which is the role's name: upper case as typed.
    m_operator->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9_]*")), this));
    connect(m_operator, &QLineEdit::textEdited, this, [this](const QString &t) {
        const int at = m_operator->cursorPosition();
        m_operator->setText(t.toUpper());
        m_operator->setCursorPosition(at);
    });
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("edtSenha"));
    m_password->setAccessibleName(QStringLiteral("Senha"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(1024);
    auto *opLabel = new QLabel(QStringLiteral("&Operador"), this);
    opLabel->setBuddy(m_operator);
    auto *pwLabel = new QLabel(QStringLiteral("&Senha"), this);
    pwLabel->setBuddy(m_password);
    form->addRow(opLabel, m_operator);
    form->addRow(pwLabel, m_password);
    lay->addLayout(form);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblMensagem"));
    m_message->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_message->hide();
    lay->addWidget(m_message);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *enter = buttons->addButton(QStringLiteral("Entrar"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Sair"), QDialogButtonBox::RejectRole);
    enter->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    lay->addWidget(buttons);
    setMinimumWidth(360);  // the title whole
    (operatorName.isEmpty() ? m_operator : m_password)->setFocus();
}

QString LoginDialog::operatorName() const { return m_operator->text().trimmed().toUpper(); }
QString LoginDialog::password() const { return m_password->text(); }

void LoginDialog::failed(const QString &message)
{
    m_message->setText(message);
    m_message->show();
    m_password->clear();
    m_password->setFocus();
}

bool needsLogin(const QString &databaseUrl)
{
    return databaseUrl.startsWith(QLatin1String("postgresql://")) || databaseUrl.startsWith(QLatin1String("postgres://"));
}

QString checkLogin(const QString &databaseUrl, const QString &operatorName, const QString &password)
{
    if (operatorName.isEmpty() || password.isEmpty()) return QStringLiteral("Informe o operador e a senha.");
    const QString connection = QStringLiteral("login");
    QString failure;
    try {
        dbconnect::open(dbconnect::withCredentials(databaseUrl, operatorName, password), connection, dbconnect::Mode::ReadOnly);
    } catch (const dbconnect::Error &e) {
        failure = QString::fromUtf8(e.what());
    }
    dbconnect::close(connection);
    if (failure.isEmpty()) return {};
    qCWarning(lcHost).noquote() << "login of" << operatorName << "failed:" << failure;
    // A database that cannot be reached is not a wrong password.
    const QUrl u(databaseUrl);
    QTcpSocket probe;
    probe.connectToHost(u.host().isEmpty() ? QStringLiteral("127.0.0.1") : u.host(), quint16(u.port(5432)));
    if (!probe.waitForConnected(5000))
        return QStringLiteral("Não foi possível conectar ao banco de dados em %1.").arg(u.host());
    return QStringLiteral("Operador ou senha inválidos.");
}

bool runLogin(const QString &suggested, int *exitCode)
{
    QSettings mine;
    const QString offered = !suggested.isEmpty() ? suggested : mine.value(QLatin1String(kLastOperator), Vantiro::Operator()).toString();
    LoginDialog dlg(offered);
    const QString url = Vantiro::Database();
    if (!QUrl(url).password().isEmpty())
        qCWarning(lcHost) << "the database URL of the configuration holds a password the desktop does not use"
                             " (each operator logs in with its own role): remove it from the file";
    for (int failures = 0;;) {
        if (dlg.exec() != QDialog::Accepted) {
            *exitCode = 0;
            return false;
        }
        const QString why = checkLogin(url, dlg.operatorName(), dlg.password());
        if (why.isEmpty()) {
            Vantiro::SetOperator(dlg.operatorName());
            Vantiro::SetPassword(dlg.password());
            Vantiro::SetDatabase(dbconnect::withCredentials(url, dlg.operatorName(), dlg.password()));
            mine.setValue(QLatin1String(kLastOperator), dlg.operatorName());
            return true;
        }
        if (++failures >= kTries) {
            *exitCode = 2;
            return false;
        }
        dlg.failed(why);
    }
}
