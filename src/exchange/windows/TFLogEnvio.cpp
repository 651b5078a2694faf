#include "exchange/windows/TFLogEnvio.h"

#include "exchange/RequestFile.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "platform/net/NetworkIdentity.h"
#include "platform/os/TCrono.h"
#include "store/Tdm.h"
#include "ui/GuardedCall.h"
#include "ui/WindowSizing.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tav::exchange {

TFLogEnvio::TFLogEnvio(store::Tdm &dm, SendLog &log, TSMime &transport, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_log(log), m_transport(transport), m_memo(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("FLogEnvio"));
    setWindowTitle(QStringLiteral("Log / configuración de envío"));
    m_memo->setObjectName(QStringLiteral("Memo"));
    m_memo->setReadOnly(true);
    m_memo->installEventFilter(this);
    for (const QString &line : log.lines())
        m_memo->appendPlainText(line);
    connect(&log, &SendLog::lineAdded, m_memo, &QPlainTextEdit::appendPlainText);

    auto *show = new QPushButton(QStringLiteral("&Mostrar configuración"), this);
    show->setObjectName(QStringLiteral("btMostrar"));
    auto *verify = new QPushButton(QStringLiteral("&Verificar configuración"), this);
    verify->setObjectName(QStringLiteral("btVerificar"));
    for (QPushButton *b : {show, verify})
        b->setAutoDefault(false);
    auto *top = new QHBoxLayout;
    top->addWidget(show);
    top->addWidget(verify);
    top->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_memo, 1);
    ui::setMinimumWindowSize(this, {520, 320});

    connect(show, &QPushButton::clicked, this, [this] { ui::guardedCall(m_dm.ui(), [this] { showConfiguration(); }); });
    connect(verify, &QPushButton::clicked, this,
            [this] { ui::guardedCall(m_dm.ui(), [this] { verifyConfiguration(); }); });
}

bool TFLogEnvio::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo && event->type() == QEvent::KeyRelease &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        close();
    return QDialog::eventFilter(watched, event);
}

void TFLogEnvio::showConfiguration()
{
    auto busy = m_dm.ui().busyCursor();
    const net::NetworkIdentity id = net::NetworkIdentity::current();
    for (const QString &line :
         {QStringLiteral("Código de regional oficial: ") + m_dm.readSetting(QStringLiteral("c_reg")),
          QStringLiteral("Código de regional privado: ") + m_dm.readSetting(QStringLiteral("c_regp")),
          QStringLiteral("MAC: ") + id.mac, QStringLiteral("Host: ") + id.hostName, QStringLiteral("IP: ") + id.ip})
        m_log.addLine(line);
}

void TFLogEnvio::verifyConfiguration()
{
    auto busy = m_dm.ui().busyCursor();
    const int personal = RequestFile::settingNumber(m_dm, QStringLiteral("c_regp"));
    const int office = personal != 0 ? personal : RequestFile::settingNumber(m_dm, QStringLiteral("c_reg"));
    os::TCrono crono;
    crono.start();
    const soap::SoapResult answer = m_transport.verify(office);
    crono.stop();
    if (!answer.ok)
        throw std::runtime_error(answer.error.toStdString());
    m_log.addLine(answer.text + QStringLiteral(" - tiempo: ") + QString::number(crono.elapsed()) +
                  QStringLiteral(" ms."));
}

} // namespace tav::exchange
