#pragma once

#include "exchange/OutgoingMessage.h"
#include "official/CaptureServices.h"
#include "official/RequestCaptures.h"

#include <QString>

#include <functional>
#include <optional>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::personal {

class PersonalRules;
class SlipLookup;

// What the biometric confirmation window reports when the operator was verified.
struct BiometricConfirmation
{
    QString login;    // the identifier typed in it
    int verification; // the verification number (above 0)
};

// The parts of the program the personal-request window reaches through plain functions, set by the program:
// the printed receipt, the sending, the mail transport, the central status window and the biometric
// confirmation. An empty function means the part is not installed (its command says so or stays disabled).
struct PersonalHooks
{
    // "EnviarPedidoP" (false) or "EnviarCorreccionP" (true) of the current request.
    std::function<void(bool correction)> send;
    // The receipt report of the current request on the default printer.
    std::function<void()> printReceipt;
    // The message transport's send: true when the mail was handed over.
    std::function<bool(const exchange::OutgoingMessage &)> sendMail;
    // The central-status window for one request.
    std::function<void(int request, int file, int office, const QString &kind)> centralStatus;
    // The biometric confirmation window ("Confirmación biometrica"): nothing when it was not closed with OK.
    std::function<std::optional<BiometricConfirmation>()> confirmBiometric;
};

// The commands of the personal-request window that need no widget. The window only forwards its controls
// and buttons here.
class PersonalWindowRules
{
public:
    enum class Action { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    static QString applicationTitle() { return QStringLiteral("TAV - Regional"); }
    static QString emailPrompt() { return QStringLiteral("DIRECCION DE EMAIL"); }

    PersonalWindowRules(store::Tdm &dm, PersonalRules &rules, SlipLookup &slips, official::CaptureServices &captures,
                        PersonalHooks &hooks);

    // Before every navigator button: false when the button must not run. An edit of a request the central
    // registry already has (T, C, D) becomes a correction here, with the person's consent, and the navigator's
    // own edit does not run.
    bool beforeAction(Action action);

    // Enter in a payment-code edit (or leaving it with text): applies an 11-character slip code.
    struct SlipEntry
    {
        bool applied = false;          // the procedure-type list is to be disabled
        bool failed = false;           // select the payment code again and keep the focus there
        bool focusPaymentDate = false; // the payment date is still to be typed
    };
    SlipEntry slipCodeEntered(const QString &paymentCodeText);

    void captureCard();      // "&Digitalizar Ficha"
    void captureDocuments(); // "&Documento"
    void send();             // "&Enviar"
    void showAnswer();       // "&Contestación"
    void receipt();          // "Com&probante"
    void emailReceipt();     // the receipt by e-mail
    void statusQuery();      // "Estado &Korvast"
    void regenerate();       // "&Regenerar"

    // Shows an image file in the viewer through a scratch copy.
    void showImage(const QString &file);

    // An e-mail address the receipt can be sent to: local part, "@", a domain of two or more labels.
    static bool validEmail(const QString &address);
    static QString receiptBody(const QString &request, const QString &office, const QString &securityCode);

    // A request the central registry has: its fingerprints are shown, not replaced.
    bool requestLocked() const;
    int counter() const { return m_images.counter(); }

private:
    bool saveFirst();
    QString state() const;

    store::Tdm &m_dm;
    PersonalRules &m_rules;
    SlipLookup &m_slips;
    official::CaptureServices &m_captures;
    PersonalHooks &m_hooks;
    official::RequestCaptures m_images;
};

} // namespace tav::personal
