#include "ui/Navigator.h"

#include "store/Dataset.h"
#include "ui/FieldBinder.h"
#include "ui/GuardedCall.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QMetaEnum>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace tav::ui {

namespace {

// The buttons' glyphs, drawn here so they look the same on every desktop theme: triangles and
// bars to move, plus and minus to insert and delete, an up triangle to edit, a tick to save, a
// cross to cancel and a turning arrow to refresh.
QIcon glyph(Navigator::Action action)
{
    constexpr int size = 32;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x20, 0x20, 0x20);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);

    auto triangle = [&](QPointF a, QPointF b, QPointF c) { p.drawPolygon(QPolygonF{a, b, c}); };
    auto bar = [&](qreal x) { p.drawRect(QRectF(x, 8, 4, 16)); };
    QPen stroke(ink, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

    switch (action) {
    case Navigator::First:
        bar(7);
        triangle({24, 8}, {24, 24}, {12, 16});
        break;
    case Navigator::Prior:
        triangle({21, 8}, {21, 24}, {10, 16});
        break;
    case Navigator::Next:
        triangle({11, 8}, {11, 24}, {22, 16});
        break;
    case Navigator::Last:
        triangle({8, 8}, {8, 24}, {20, 16});
        bar(21);
        break;
    case Navigator::Insert:
        p.drawRect(QRectF(14, 6, 4, 20));
        p.drawRect(QRectF(6, 14, 20, 4));
        break;
    case Navigator::Delete:
        p.drawRect(QRectF(6, 14, 20, 4));
        break;
    case Navigator::Edit:
        triangle({6, 22}, {26, 22}, {16, 9});
        break;
    case Navigator::Post:
        stroke.setColor(QColor(0x1b, 0x6e, 0x20));
        p.setPen(stroke);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF{QPointF(7, 17), QPointF(13, 23), QPointF(25, 9)});
        break;
    case Navigator::Cancel:
        stroke.setColor(QColor(0xb7, 0x1c, 0x1c));
        p.setPen(stroke);
        p.drawLine(QPointF(9, 9), QPointF(23, 23));
        p.drawLine(QPointF(23, 9), QPointF(9, 23));
        break;
    case Navigator::Refresh: {
        QPen arc(ink, 3.5, Qt::SolidLine, Qt::FlatCap);
        p.setPen(arc);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(8, 8, 16, 16), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        triangle({17, 3}, {17, 13}, {24, 8});
        break;
    }
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace

QStringList Navigator::defaultHints()
{
    return {QStringLiteral("Primer registro"),    QStringLiteral("Registro anterior"),
            QStringLiteral("Registro siguiente"), QStringLiteral("Último registro"),
            QStringLiteral("Insertar registro"),  QStringLiteral("Borrar registro"),
            QStringLiteral("Editar registro"),    QStringLiteral("Grabar cambios"),
            QStringLiteral("Cancelar cambios"),   QStringLiteral("Refrescar")};
}

QStringList Navigator::recordHints()
{
    return {QStringLiteral("Primer registro"),
            QStringLiteral("Registro anterior"),
            QStringLiteral("Registro siguiente"),
            QStringLiteral("Último registro"),
            QStringLiteral("Agregar un registro"),
            QStringLiteral("Eliminar el registro"),
            QStringLiteral("Modificar el registro"),
            QStringLiteral("Aceptar"),
            QStringLiteral("Cancelar"),
            QStringLiteral("Refrescar")};
}

Navigator::Navigator(Ui &ui, QWidget *parent) : Navigator(nullptr, ui, parent) {}

Navigator::Navigator(store::Dataset *dataset, Ui &ui, QWidget *parent) : QWidget(parent), m_ui(ui)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QStringList hints = defaultHints();
    for (int i = 0; i < ActionCount; ++i) {
        const auto action = static_cast<Action>(i);
        auto *b = new QToolButton(this);
        b->setIcon(glyph(action));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(hints.at(i));
        b->setFocusPolicy(Qt::NoFocus); // the focus stays in the edit being typed in
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setMinimumWidth(24);
        b->setObjectName(QString::fromLatin1(QMetaEnum::fromType<Action>().valueToKey(i)));
        connect(b, &QToolButton::clicked, this, [this, action] { trigger(action); });
        layout->addWidget(b);
        m_buttons[static_cast<size_t>(i)] = b;
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setDataset(dataset);
}

void Navigator::setDataset(store::Dataset *dataset)
{
    if (m_dataset)
        disconnect(m_dataset, nullptr, this, nullptr);
    m_dataset = dataset;
    if (dataset) {
        connect(dataset, &store::Dataset::stateChanged, this, &Navigator::updateButtons);
        connect(dataset, &store::Dataset::currentChanged, this, &Navigator::updateButtons);
        connect(dataset, &store::Dataset::layoutChanged, this, &Navigator::updateButtons);
        connect(dataset, &store::Dataset::fieldChanged, this, &Navigator::updateButtons);
    }
    updateButtons();
}

void Navigator::setVisibleButtons(Buttons buttons)
{
    m_visible = buttons;
    for (int i = 0; i < ActionCount; ++i)
        m_buttons[static_cast<size_t>(i)]->setVisible(buttons.testFlag(buttonOf(static_cast<Action>(i))));
}

QString Navigator::hint(Action action) const
{
    return button(action)->toolTip();
}

void Navigator::setHint(Action action, const QString &hint)
{
    button(action)->setToolTip(hint);
}

void Navigator::setHints(const QStringList &hints)
{
    for (int i = 0; i < ActionCount && i < hints.size(); ++i)
        setHint(static_cast<Action>(i), hints.at(i));
}

void Navigator::updateButtons()
{
    const store::Dataset *ds = m_dataset;
    const bool active = ds && ds->isActive();
    const bool editing = active && ds->isEditing();
    auto set = [this](Action a, bool enabled) { button(a)->setEnabled(enabled); };
    set(First, active && !ds->bof());
    set(Prior, active && !ds->bof());
    set(Next, active && !ds->eof());
    set(Last, active && !ds->eof());
    set(Insert, active);
    set(Delete, active && !ds->isEmpty());
    set(Edit, active && !editing);
    set(Post, editing);
    set(Cancel, editing);
    set(Refresh, active);
}

bool Navigator::trigger(Action action)
{
    if (m_running || !m_dataset)
        return false;
    m_running = true;
    const bool done = guardedCall(m_ui, [&] { run(action); });
    m_running = false;
    updateButtons();
    if (done)
        emit clicked(action);
    return done;
}

void Navigator::run(Action action)
{
    store::Dataset &ds = *m_dataset;
    // Typed input that is not in the record yet goes in first (or stops the button with its message).
    if (action != Cancel && ds.isEditing() && !FieldBinder::commitPending(ds))
        throw store::Abort{};
    if (beforeAction && !beforeAction(action))
        throw store::Abort{};
    switch (action) {
    case First:
        ds.first();
        break;
    case Prior:
        ds.prior();
        break;
    case Next:
        ds.next();
        break;
    case Last:
        ds.last();
        break;
    case Insert:
        ds.insert();
        break;
    case Delete:
        if (!ds.remove())
            throw store::Abort{};
        break;
    case Edit:
        ds.edit();
        break;
    case Post:
        if (!ds.post())
            throw store::Abort{};
        break;
    case Cancel:
        ds.cancel();
        break;
    case Refresh:
        // A record in edit is saved first when it was changed and dropped when it was not, so a
        // refresh never throws away what the person typed.
        if (!ds.leaveEdit())
            throw store::Abort{};
        ds.refresh();
        break;
    }
}

} // namespace tav::ui
