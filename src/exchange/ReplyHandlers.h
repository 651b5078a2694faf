#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::reports {
class ActivityReport;
}

namespace tav::queries {
class CentralStatusLists;
}

namespace tav::exchange {

struct ReplyData;

// The handlers of the central office's replies. Each reads its reply files from the program directory
// ("resp.dat", "resp.tif", "EstOfi.DAT", "EstPriv.DAT"; in Outlook mode each name carries the answer
// counter in front), finds the request the reply is about, checks that it belongs to this office, updates
// it, stores the answer image as the request's answer file, writes its line in the activity report and
// removes the reply files it used. Each returns true when it updated a request.
//
// The requests are found and saved through datasets of the handlers' own, so the record a person has open
// in a window never moves; the window's dataset is re-read afterwards. A save the table refuses, or a table
// that cannot be read, comes out as a store::DatasetError (the caller reports it as a failed message).
class ReplyHandlers
{
public:
    ReplyHandlers(store::Tdm &dm, reports::ActivityReport &activity, queries::CentralStatusLists &stateLists);
    ~ReplyHandlers();

    // Prints every page of an image file (the answer image); the windows layer sets it to the image-printing
    // window. Called only when automatic printing is on.
    std::function<void(const QString &path)> printImage;
    // Prints the answer letter of a personal request (the dataset is on the request); called only when the
    // setting "m_impconfp" is "S". The windows layer sets it to the answer letter's printing.
    std::function<void(store::Dataset &pedp)> printPersonalAnswer;

    // Outlook mode names the reply files after the answer counter; POP3 mode uses the bare names.
    bool outlookNames = false;
    int answerCounter = 0;
    // The name of a reply file in the program directory as the handlers look for it.
    QString replyFile(const QString &name) const;

    bool ProcesarContestacionOficial();
    bool ProcesarConfirmacionOficial();
    bool ProcesarContestacionPersonal();
    bool ProcesarRechazoOficial();
    bool ProcesarRechazoPersonal();
    bool ProcesarEstados();

    // A reception cycle holds the handlers' own tables open from its first reply to its end, since opening a
    // table reads all of it; outside a cycle each handler opens and closes them itself. The tables close when
    // the last holder goes.
    class TablesHeld
    {
    public:
        explicit TablesHeld(ReplyHandlers &handlers) : m_handlers(&handlers) { ++m_handlers->m_holds; }
        TablesHeld(TablesHeld &&other) noexcept : m_handlers(std::exchange(other.m_handlers, nullptr)) {}
        ~TablesHeld();
        TablesHeld(const TablesHeld &) = delete;
        TablesHeld &operator=(const TablesHeld &) = delete;
        TablesHeld &operator=(TablesHeld &&) = delete;

    private:
        ReplyHandlers *m_handlers;
    };
    [[nodiscard]] TablesHeld holdTables() { return TablesHeld(*this); }
    // Opens the own tables not open yet; `offThread` runs the reading of the files (it may run it on a worker
    // thread: no dataset is involved until it returns). Throws DatasetError when a table cannot be opened.
    void openTables(const std::function<void(const std::function<void()> &)> &offThread);

    // A subject that names a reply (exactly, with case): the settings x_msgexp, x_msgexpp, x_msgconfp, or
    // "CONFIRMO", "RECHAZO", "RECHAZOP", "SETESTADO".
    bool EsAsuntoConocido(const QString &subject);
    // Runs the handler of the subject; false with `error` set when the subject is unknown, its handler did
    // not apply the reply, or the handler failed.
    bool ProcesaMsgIndyToTAV(const QString &subject, QString &error);

private:
    // Closes the handlers' own tables when a handler ends, however it ends.
    class Release
    {
    public:
        explicit Release(ReplyHandlers &handlers) : m_handlers(handlers) {}
        ~Release();
        Release(const Release &) = delete;
        Release &operator=(const Release &) = delete;

    private:
        ReplyHandlers &m_handlers;
    };

    store::Dataset &table(bool personal);
    // The request of the reply in the handlers' own dataset, or nullptr (positive numbers, found, same office).
    store::Dataset *findRequest(bool personal, const ReplyData &data);
    // Saves the edited request as the system's own save; throws DatasetError when the table refuses.
    void save(store::Dataset &request);
    void afterSave(bool personal);
    void showChanges(bool personal);
    // Copies the answer image over the request's answer file; throws DatasetError when it cannot be stored.
    void storeAnswer(const QString &image, const QString &answerFile);
    void activity(const QString &rest);
    bool rejection(bool personal);
    QString path(const QString &name) const;
    void remove(const QString &name) const;

    store::Tdm &m_dm;
    reports::ActivityReport &m_activity;
    queries::CentralStatusLists &m_stateLists;
    std::unique_ptr<store::Dataset> m_ped;
    std::unique_ptr<store::Dataset> m_pedp;
    int m_holds = 0;
    bool m_showPed = false; // a held cycle changed requests the windows have not re-read yet
    bool m_showPedp = false;
    bool m_usedPed = false; // a held table already served a reply (so the next one reads what came since)
    bool m_usedPedp = false;
};

} // namespace tav::exchange
