#include "exchange/windows/TFBandeja.h"

#include "capture/windows/TFVerImg.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "exchange/windows/TFChequeoCorreo.h"
#include "exchange/windows/TFConfigEnvio.h"
#include "exchange/windows/TFNuevoMensaje.h"
#include "exchange/windows/TFVerTexto.h"
#include "store/Tdm.h"
#include "ui/WindowSizing.h"

#include <QAbstractTableModel>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

namespace tav::exchange {

// The message list as the rules hold it.
class MailboxModel : public QAbstractTableModel
{
public:
    MailboxModel(const MailboxRules &rules, QObject *parent) : QAbstractTableModel(parent), m_rules(rules) {}

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rules.rows().size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : MailboxRules::ColumnCount;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const MsgHeaderRow &row = m_rules.rows().at(index.row());
        if (role == Qt::DisplayRole)
            return MailboxRules::cellText(row, index.column());
        if (role == Qt::TextAlignmentRole &&
            (index.column() == MailboxRules::ColIndex || index.column() == MailboxRules::ColBytes ||
             index.column() == MailboxRules::ColPriority))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return MailboxRules::columnTitle(section);
        return {};
    }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const MailboxRules &m_rules;
};

namespace {

// The message body viewer: nothing outside the message is ever loaded (no images, no style sheets, no
// local files a message names), and links are not followed.
class BodyDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

class BodyBrowser : public QTextBrowser
{
public:
    explicit BodyBrowser(QWidget *parent) : QTextBrowser(parent) { setDocument(new BodyDocument(this)); }
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

} // namespace

TFBandeja::TFBandeja(store::Tdm &dm, TdmMail &mail, TSMime &transport, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_mail(mail), m_transport(transport), m_rules(dm, mail),
      m_model(new MailboxModel(m_rules, this)), m_grid(new QTableView(this)), m_body(new BodyBrowser(this)),
      m_attachmentPanel(new QWidget(this)), m_attachmentGrid(new QTableWidget(0, 3, this)),
      m_status(new QStatusBar(this)), m_composer(new TFNuevoMensaje(dm, mail, this))
{
    setObjectName(QStringLiteral("FBandeja"));
    setWindowTitle(QStringLiteral("Correo Electrónico - Bandeja de Entrada  -"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    m_rules.showStatus = [this](const QString &text) {
        m_status->showMessage(text);
        m_status->setToolTip(text);
    };
    chooseSavePath = [this](const QString &proposed) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Guardar Adjunto"), proposed, QStringLiteral("*.*"));
    };

    const auto makeAction = [this](const char *name, const QString &text, const QString &hint, auto slot) {
        auto *a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(hint);
        a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QAction *check = makeAction("acChequear", QStringLiteral("Consultar"),
                                QStringLiteral("Consultar bandeja de entrada de mensajes"), &TFBandeja::checkMail);
    QAction *disconnect = makeAction("acDesconectar", QStringLiteral("Desconectar"), QStringLiteral("Cerrar conexión"),
                                     &TFBandeja::disconnectList);
    QAction *read =
        makeAction("acLeer", QStringLiteral("Leer"), QStringLiteral("Leer Mensaje"), &TFBandeja::readMessage);
    QAction *compose =
        makeAction("acNuevo", QStringLiteral("Nuevo"), QStringLiteral("Nuevo mensaje"), &TFBandeja::newMessage);
    QAction *forward = makeAction("acReenviar", QStringLiteral("Reenviar"), QStringLiteral("Reenviar Mensaje"),
                                  &TFBandeja::forwardMessage);
    QAction *process = makeAction("acProcesar", QStringLiteral("Procesar"), QStringLiteral("Procesar Mensaje"),
                                  &TFBandeja::processMessage);
    QAction *remove =
        makeAction("acBorrar", QStringLiteral("Borrar"), QStringLiteral("Borrar Mensaje"), &TFBandeja::deleteMessage);
    QAction *setupAction = makeAction("acConfiguracion", QStringLiteral("Configuración"),
                                      QStringLiteral("Configuración"), &TFBandeja::setup);
    QAction *test = makeAction("acProbar", QStringLiteral("Probar"),
                               QStringLiteral("Probar configuración del Correo Electrónico"), &TFBandeja::testAccount);

    auto *menu = new QMenuBar(this);
    QAction *exit = menu->addAction(QStringLiteral("&Salir"));
    exit->setObjectName(QStringLiteral("acSalir"));
    connect(exit, &QAction::triggered, this, &QDialog::reject);
    QMenu *operations = menu->addMenu(QStringLiteral("&Operaciones"));
    operations->addAction(QStringLiteral("C&hequear lista de mensajes"), this, &TFBandeja::checkMail);
    operations->addAction(QStringLiteral("O&btener mensaje seleccionado"), this, &TFBandeja::readMessage);
    operations->addAction(QStringLiteral("&Borrar mensaje"), this, &TFBandeja::deleteMessage);
    operations->addAction(QStringLiteral("C&rear Mensaje"), this, &TFBandeja::newMessage);
    operations->addSeparator();
    operations->addAction(QStringLiteral("&Desconectar del servidor"), this, &TFBandeja::disconnectList);
    menu->addAction(QStringLiteral("&Configuración"), this, &TFBandeja::setup);

    auto *tools = new QToolBar(this);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addActions({check, disconnect});
    tools->addSeparator();
    tools->addActions({read, compose, forward, process, remove});
    tools->addSeparator();
    tools->addActions({setupAction, test});

    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setSortIndicatorShown(true);
    m_grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < MailboxRules::ColumnCount; ++c)
        m_grid->setColumnHidden(c, MailboxRules::columnHidden(c));
    const int charWidth = m_grid->fontMetrics().averageCharWidth();
    const std::pair<int, int> widths[] = {
        {MailboxRules::ColIndex, 5},       {MailboxRules::ColSubject, 28}, {MailboxRules::ColFrom, 28},
        {MailboxRules::ColPriority, 9},    {MailboxRules::ColDate, 19},    {MailboxRules::ColBytes, 8},
        {MailboxRules::ColRecipients, 24}, {MailboxRules::ColCC, 16},      {MailboxRules::ColMsgId, 30}};
    for (const auto &[column, chars] : widths)
        m_grid->setColumnWidth(column, chars * charWidth + 12);
    m_grid->setColumnWidth(MailboxRules::ColDate,
                           m_grid->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        const bool ascending = !(m_rules.sortColumn() == column && m_rules.sortAscending());
        refresh(m_rules.sortBy(column, ascending, currentRow()));
    });
    connect(m_grid, &QTableView::doubleClicked, this, &TFBandeja::readMessage);

    // The detail area: the header of the message read, its body and, at the right, its attachments.
    auto *header = new QGridLayout;
    const std::pair<const char *, const char *> fields[] = {{"lbDe", "De:"},
                                                            {"lbPara", "Para:"},
                                                            {"lbCc", "Cc:"},
                                                            {"lbAsunto", "Asunto:"},
                                                            {"lbFecha", "Fecha:"},
                                                            {"lbPrioridad", "Prioridad:"},
                                                            {"lbReceipt", "Confirmación de lectura a:"},
                                                            {"lbOrganizacion", "Organización:"}};
    int i = 0;
    for (const auto &[name, title] : fields) {
        auto *caption = new QLabel(QString::fromUtf8(title), this);
        auto *value = new QLabel(this);
        value->setObjectName(QString::fromLatin1(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setTextFormat(Qt::PlainText);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        const int row = i % 4;
        const int column = (i / 4) * 2;
        header->addWidget(caption, row, column);
        header->addWidget(value, row, column + 1);
        ++i;
    }
    header->setColumnStretch(1, 3);
    header->setColumnStretch(3, 2);
    m_body->setOpenLinks(false);
    m_body->setOpenExternalLinks(false);

    m_attachmentGrid->setObjectName(QStringLiteral("grAdjuntos"));
    m_attachmentGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Adjunto Nro"), QStringLiteral("Nombre"), QStringLiteral("Tipo")});
    m_attachmentGrid->setColumnHidden(0, true);
    m_attachmentGrid->setColumnHidden(2, true);
    m_attachmentGrid->horizontalHeader()->setStretchLastSection(true);
    m_attachmentGrid->verticalHeader()->hide();
    m_attachmentGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_attachmentGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_attachmentGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_attachmentGrid, &QTableWidget::doubleClicked, this, &TFBandeja::openAttachment);
    auto *save = new QPushButton(QStringLiteral("Guardar Adjunto"), m_attachmentPanel);
    auto *open = new QPushButton(QStringLiteral("Abrir adjunto tipo dat txt tif"), m_attachmentPanel);
    save->setObjectName(QStringLiteral("btGuardarAdjunto"));
    open->setObjectName(QStringLiteral("btAbrirAdjunto"));
    for (QPushButton *b : {save, open})
        b->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &TFBandeja::saveAttachment);
    connect(open, &QPushButton::clicked, this, &TFBandeja::openAttachment);
    auto *panelLayout = new QVBoxLayout(m_attachmentPanel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(new QLabel(QStringLiteral("Adjuntos"), m_attachmentPanel));
    panelLayout->addWidget(m_attachmentGrid, 1);
    panelLayout->addWidget(save);
    panelLayout->addWidget(open);

    auto *detail = new QWidget(this);
    auto *detailLayout = new QVBoxLayout(detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->addLayout(header);
    auto *bodySplit = new QSplitter(Qt::Horizontal, detail);
    bodySplit->addWidget(m_body);
    bodySplit->addWidget(m_attachmentPanel);
    bodySplit->setStretchFactor(0, 3);
    bodySplit->setStretchFactor(1, 1);
    bodySplit->setChildrenCollapsible(false);
    detailLayout->addWidget(bodySplit, 1);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_grid);
    split->addWidget(detail);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setChildrenCollapsible(false);

    m_status->setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(2);
    layout->setMenuBar(menu);
    layout->addWidget(tools);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    ui::setMinimumWindowSize(this, {640, 460});
    resize(980, 680);
    showDetail();
}

TFBandeja::~TFBandeja() = default;

QLabel *TFBandeja::value(const char *name) const
{
    return findChild<QLabel *>(QString::fromLatin1(name));
}

QAction *TFBandeja::action(const char *name) const
{
    return findChild<QAction *>(QString::fromLatin1(name));
}

int TFBandeja::currentRow() const
{
    const QModelIndex index = m_grid->currentIndex();
    return index.isValid() ? index.row() : -1;
}

void TFBandeja::refresh(int row)
{
    m_model->reload();
    const int column = m_rules.sortColumn();
    m_grid->horizontalHeader()->setSortIndicator(column,
                                                 m_rules.sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (row >= 0 && row < m_model->rowCount())
        m_grid->setCurrentIndex(m_model->index(row, MailboxRules::ColSubject));
    showDetail();
}

void TFBandeja::showDetail()
{
    const MailboxRules::Detail &d = m_rules.detail();
    const std::pair<const char *, QString> values[] = {
        {"lbDe", d.from},    {"lbPara", d.recipients},    {"lbCc", d.cc},           {"lbAsunto", d.subject},
        {"lbFecha", d.date}, {"lbPrioridad", d.priority}, {"lbReceipt", d.receipt}, {"lbOrganizacion", d.organization}};
    for (const auto &[name, text] : values) {
        QLabel *label = value(name);
        label->setText(text);
        label->setToolTip(text);
    }
    if (d.html.isEmpty())
        m_body->clear();
    else
        m_body->setHtml(d.html);
    m_attachmentGrid->setRowCount(0);
    for (const AttachmentRow &a : d.attachments) {
        const int r = m_attachmentGrid->rowCount();
        m_attachmentGrid->insertRow(r);
        m_attachmentGrid->setItem(r, 0, new QTableWidgetItem(QString::number(a.index)));
        m_attachmentGrid->setItem(r, 1, new QTableWidgetItem(a.filename));
        m_attachmentGrid->setItem(r, 2, new QTableWidgetItem(a.ContentType));
    }
    if (!d.attachments.isEmpty())
        m_attachmentGrid->setCurrentCell(0, 1);
    m_attachmentPanel->setVisible(!d.attachments.isEmpty());
}

int TFBandeja::runModal(QWidget *dialog)
{
    if (beforeModal) {
        beforeModal(dialog);
        auto *d = qobject_cast<QDialog *>(dialog);
        return d ? d->result() : 0;
    }
    auto *d = qobject_cast<QDialog *>(dialog);
    return d ? d->exec() : 0;
}

void TFBandeja::openMailbox()
{
    m_rules.disconnect();
    refresh(-1);
    m_status->clearMessage();
    m_status->setToolTip(QString());
    runModal(this);
}

void TFBandeja::done(int result)
{
    // The message's text is not left in the program directory, nor the connection open.
    m_rules.disconnect();
    m_rules.removeBodyFile();
    refresh(-1);
    QDialog::done(result);
}

void TFBandeja::checkMail()
{
    m_rules.checkMail();
    refresh(m_rules.rows().isEmpty() ? -1 : 0);
}

void TFBandeja::readMessage()
{
    m_rules.readMessage(currentRow());
    if (!m_rules.listOpen())
        refresh(-1); // the connection was lost: the list must be fetched again
    else
        showDetail();
}

void TFBandeja::deleteMessage()
{
    refresh(m_rules.deleteMessage(currentRow()));
}

void TFBandeja::forwardMessage()
{
    m_rules.forwardMessage(currentRow());
}

void TFBandeja::processMessage()
{
    refresh(m_rules.processMessageAt(currentRow()));
}

void TFBandeja::disconnectList()
{
    m_rules.disconnect();
    refresh(-1);
}

void TFBandeja::newMessage()
{
    m_composer->clearFields();
    runModal(m_composer);
}

void TFBandeja::setup()
{
    TFConfigEnvio window(m_dm, m_transport, m_mail, this);
    runModal(&window);
}

void TFBandeja::testAccount()
{
    TFChequeoCorreo window(m_mail, this);
    window.show();
    window.check();
    runModal(&window);
}

void TFBandeja::saveAttachment()
{
    const int row = m_attachmentGrid->currentRow();
    const QList<AttachmentRow> &attachments = m_rules.detail().attachments;
    if (row < 0 || row >= attachments.size())
        return;
    const QString target = chooseSavePath ? chooseSavePath(m_rules.attachmentPath(attachments[row])) : QString();
    if (target.isEmpty())
        return;
    m_rules.saveAttachment(attachments[row], target);
}

void TFBandeja::openAttachment()
{
    const int row = m_attachmentGrid->currentRow();
    const QList<AttachmentRow> &attachments = m_rules.detail().attachments;
    if (row < 0 || row >= attachments.size())
        return;
    const MailboxRules::OpenAttachment open = m_rules.openAttachment(attachments[row]);
    if (open.viewer == MailboxRules::Viewer::Image) {
        capture::TFVerImg viewer(m_dm.ui(), this);
        viewer.setImageFile(open.path);
        runModal(&viewer);
    } else if (open.viewer == MailboxRules::Viewer::Text) {
        TFVerTexto viewer(this);
        viewer.load(open.path);
        runModal(&viewer);
    }
}

} // namespace tav::exchange
