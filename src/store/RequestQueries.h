#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <filesystem>
#include <optional>
#include <vector>

namespace tav::store {

// Row of the list of official requests with their organisation.
struct OfficialListRow
{
    double c_ped = 0;
    QDate f_ped;
    QVariant n_expe;
    QString x_ape1;
    QString x_nom1;
    QDate f_con;
    QString x_org;
};

// Which requests a search looks in.
enum class SearchTable { Official, Personal, Alias };

// The search criteria; values are compared, never pasted into statement text. A name criterion left
// empty does not take part; names are compared exactly as typed (case and blanks included).
struct SearchCriteria
{
    enum class By { Number, Names, Document } by = By::Number;
    double number = 0; // request number or document number
    QString ape1, ape2, nom1, nom2, nom3;
};

// Row of a search result; columns the table lacks stay null.
struct SearchRow
{
    QVariant c_ped, x_ape1, x_ape2, x_nom1, x_nom2, x_nom3, c_sexo, f_nac, n_edad, n_doc;
};

// A request chosen by the purge: its key and the record that holds it.
struct RequestKey
{
    double c_ped = 0;
    double c_reg = 0;
    uint32_t recno = 0;
};

// The typed queries the windows and jobs need over the office's tables (read from disk, so other
// stations' saves are seen).
class RequestQueries
{
public:
    explicit RequestQueries(std::filesystem::path programDir);

    // Every official request with its organisation's name, by request number. With `sent`/`answered`
    // given, only requests whose flags equal them.
    std::vector<OfficialListRow> officialList(std::optional<bool> sent = {}, std::optional<bool> answered = {}) const;

    // One official request by its key, every column; empty when there is none.
    std::optional<QVariantMap> officialRequest(double c_ped, double c_reg) const;

    // A search by number, names or document. Throws std::runtime_error with a message when the criteria
    // cannot be applied (no name given; a document search on aliases, which have no document).
    std::vector<SearchRow> search(SearchTable table, const SearchCriteria &criteria) const;

    // The aliases of an official request, in the order they were entered.
    std::vector<QVariantMap> aliasesOf(double c_ped) const;

    // Answered requests whose answer arrived before `cutoff`: official ones by their answered flag,
    // personal ones by the state "C".
    std::vector<RequestKey> purgeSelection(bool personal, const QDate &cutoff) const;

private:
    std::filesystem::path m_dir;
};

} // namespace tav::store
