#pragma once

#include <QString>

namespace tav::store {
class Tdm;
}
namespace tav::reports {
class ActivityReport;
}

namespace tav::exchange {

class ReplyHandlers;
class TSMime;
class TdmMail;

// Appends one line (and CR LF) to the operations log "TavRegLog.log" of the program directory. When the
// file exists but cannot be opened (another process holds it), the open is tried again a few times over a
// short while; after that the line is given up, so a held log never holds up the reception. False when the
// line could not be written.
bool GrabarLog(const QString &logFile, const QString &line);

// The reception cycle of the central office's replies: reads the office's mailbox, hands each reply to its
// handler, removes it from the mailbox, forwards what is not a reply to the forwarding address, and keeps
// the person informed through the status bar, the activity report and the operations log.
//
// It runs on the user-interface thread: the network waits of TdmMail run on a worker thread meanwhile
// (windows repaint, timers fire), and each reply is applied to the tables between two messages.
class MailReception
{
public:
    MailReception(store::Tdm &dm, TdmMail &mail, ReplyHandlers &replies, reports::ActivityReport &activity,
                  TSMime &transport);

    // One guarded cycle: only when reception is idle and no request is being edited or inserted. Reception is
    // marked busy meanwhile and idle again however the cycle ends. True when the cycle ran.
    bool RecibirCorreo();
    // The cycle itself, without the guard (the main window's trigger holds the guard): the Outlook cycle in
    // Outlook mode, otherwise the POP3 cycle; nothing before the data module is initialised. An error that
    // escapes is written to the operations log and passed on, so the caller shows it.
    void runCycle();

    // The POP3 cycle: every message of the mailbox in turn, with its status texts and counters.
    void ProcesarCorreo();
    // The Outlook cycle: there is no Outlook on this system, so its connection is never valid and the
    // cycle does nothing.
    void ProcesarOutlook();

    // Processes message n of the mailbox: 1 a reply, applied and deleted; 0 not a reply, forwarded and
    // deleted; −1 an error (the message stays on the server, `error` says why).
    int RecibirMsgIndyToTav(int n, QString &error);
    // Deletes the reply files a previous message may have left in `directory`.
    bool BorroAdjuntosTempEnDisco(const QString &directory, QString &error);
    bool EsAsuntoConocido(const QString &subject);

    // The counters of the last POP3 cycle.
    struct Counters
    {
        int processed = 0;
        int failed = 0;
        int forwarded = 0;
    };
    const Counters &lastCycle() const { return m_counters; }

    QString logFile() const;

private:
    void log(const QString &line);
    // Saves the attachments of message n in a folder of its own and brings only the reply files into the
    // program directory: a message can never replace a table, a setting file or a request's files.
    bool saveReplyFiles(int n, QString &error);
    QString now() const;

    store::Tdm &m_dm;
    TdmMail &m_mail;
    ReplyHandlers &m_replies;
    reports::ActivityReport &m_activity;
    TSMime &m_transport;
    Counters m_counters;
};

} // namespace tav::exchange
