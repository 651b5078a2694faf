#pragma once

#include <QDate>
#include <QString>
#include <QUrl>

#include <functional>

namespace tav::store {
class Tdm;
}

namespace tav::reports {

// The monthly report of personal requests: a page of the central office's web server for one month, opened
// in the workstation's browser.
class MonthlyReport
{
public:
    struct Period
    {
        int month = 0;
        int year = 0;
    };
    // The month before today's (January proposes December of the year before).
    static Period proposed(const QDate &today);
    // The page path for the office (the setting "c_regp" as stored) and the period.
    static QString pagePath(const QString &office, int month, int year);

    // Checks the typed month and year and opens the page from the first `url` row with an address.
    // Returns false when the window must stay open (a wrong month or year, after its message); true when
    // it closes (page opened, or the address error shown).
    static bool accept(store::Tdm &dm, const QString &monthText, const QString &yearText,
                       const std::function<void(const QUrl &)> &open);
};

} // namespace tav::reports
