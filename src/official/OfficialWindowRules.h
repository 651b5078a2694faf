#pragma once

#include "store/Event.h"

#include "official/CaptureServices.h"
#include "official/RequestCaptures.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::official {

// The commands of the official-request window that need no widget: what its navigator may do, the
// captures with their scratch copies, the answer, and the checks behind its smaller buttons. The
// window only forwards its buttons here.
class OfficialWindowRules
{
public:
    // The navigator's buttons, in the navigator's order.
    enum class Action { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    static QString applicationTitle() { return QStringLiteral("TAV - Regional"); }
    static QString receivingMessage()
    {
        return QStringLiteral("Advertencia: Se están recibiendo mensajes. \rVuelva a intentar en unos instantes.");
    }
    static QString sentRequestMessage()
    {
        return QStringLiteral("No se puede modificar un pedido que ya ha sido enviado");
    }
    static QString sentAliasMessage();
    static QString nominativeMessage()
    {
        return QStringLiteral("Ud. a ingresado un pedido con carácter Nominativo (sin ficha),\rOmita el ingreso de la "
                              "huella dactiloscópica y envíe directamente el pedido");
    }

    OfficialWindowRules(store::Tdm &dm, CaptureServices &services);

    // Before every button of the request navigator: false when the button must do nothing. Sets the
    // data module's post-confirmed flag for the buttons that run.
    bool beforeRequestAction(Action action);
    // Before every button of the aliases navigator.
    bool beforeAliasAction(Action action);

    // A sent request that was not rejected cannot be changed.
    bool requestLocked() const;

    // Before a window with a pending edit of `table` closes: an untouched record is dropped; a changed
    // one is saved, discarded or kept as the person answers ("Sí" / "No" / "Cancelar"). False when
    // the window must stay open (cancelled, or the save was refused). `beforeSave` runs just before the
    // save, as the navigator's would (it may refuse it).
    static bool askToLeaveEdit(store::Tdm &dm, store::Dataset &table, const QString &question,
                               const std::function<bool()> &beforeSave);
    // The request window and the aliases window closing.
    bool leaveRequestEdit();
    bool leaveAliasEdit();

    // "&Digitalizar Ficha" and "Documentación": the reception timer is stopped while they run.
    void captureCard();
    void captureDocuments();
    // "&Contestación": the rejection reason of a rejected request, else the answer image.
    void showAnswer();

    // Leaving the offence code edit: a code no offence type has is emptied.
    void offenceCodeLeft();
    // An organisation was chosen in the request: its e-mail address is copied while editing.
    void organisationChosen();
    // "&Oficio", "Estado &Korvast" and the offence chooser: false after their message.
    bool letterAllowed();
    bool statusQueryAllowed();
    bool offenceChooserAllowed();

    // The window's counter of scratch copies.
    int counter() const { return m_captures.counter(); }

private:
    bool saveFirst();

    store::Tdm &m_dm;
    CaptureServices &m_services;
    RequestCaptures m_captures;
};

// The request finder: locates a request in `table` by one criterion; false when not found.
enum class RequestCriterion { Code, CaseNumber, Surname };
bool findRequest(store::Dataset &table, RequestCriterion criterion, const QVariant &value);

// The offence chooser's search: equal-value conditions on the code, law, article and subsection
// columns, and a text the description must contain.
struct OffenceSearch
{
    struct Equals
    {
        QString field;
        QString value;
        bool operator==(const Equals &) const = default;
    };
    QList<Equals> conditions; // all must hold
    QString description;      // lower case; becomes the data module's offence filter

    // From the chooser's edits; blank edits set no condition.
    static OffenceSearch fromTexts(const QString &code, const QString &law, const QString &article,
                                   const QString &subsection, const QString &description);
    bool matches(const store::Dataset &tdel) const;
};

// Applies an offence search to `tdel` (its own row filter keeps applying the description) and
// takes it off again.
class OffenceFilterScope
{
public:
    explicit OffenceFilterScope(store::Tdm &dm);
    ~OffenceFilterScope(); // never throws
    OffenceFilterScope(const OffenceFilterScope &) = delete;
    OffenceFilterScope &operator=(const OffenceFilterScope &) = delete;

    void apply(const OffenceSearch &search);
    void clear();

private:
    store::Tdm &m_dm;
    store::Subscription m_condition; // this search's condition on tdel, while applied
};

// The offence chooser's "&Aceptar": true when the current row is an offence, not a category;
// otherwise false after its message.
bool acceptOffence(store::Tdm &dm);

} // namespace tav::official
