#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::queries {

// The list operations of the central status: a state list of official or personal requests (as the
// central office's status pages and its "SETESTADO" replies bring it) is written out as a table of text
// lines and applied to the requests, which move forward only ("E"/"T" to the registry's "T", "R" or "C").
// The lines go to `appendLine`; the requests are updated through datasets of their own.
class CentralStatusLists
{
public:
    explicit CentralStatusLists(store::Tdm &dm);
    ~CentralStatusLists();

    // Where the display lines go (the display only grows here; clearing it is the caller's business).
    std::function<void(const QString &line)> appendLine;

    void MostrarEstadosOficiales(const QStringList &lines);
    void MostrarEstadosPersonales(const QStringList &lines);

    // One line of a state list: request number ";" state code "|" file number.
    struct Entry
    {
        int request = 0; // 0 when the line has no positive request number
        QString state;
        QString file;
    };
    static Entry parseLine(const QString &line);
    // The list says that no request is in process ("NO_HAY_PEDIDOS", or no lines at all).
    static bool meansNoRequests(const QStringList &lines);
    // The list says that the service was not available ("Error 404").
    static bool meansUnavailable(const QStringList &lines);

private:
    void show(const QStringList &lines, bool personal);
    void append(const QString &line);

    store::Tdm &m_dm;
};

} // namespace tav::queries
