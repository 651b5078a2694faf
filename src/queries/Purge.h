#pragma once

#include <QDate>

#include <functional>

namespace tav::store {
class Tdm;
}

namespace tav::queries {

// The automatic purge of old answers run when the program closes: answered requests whose answer
// arrived before the cut-off are deleted with their files, and the request tables are packed.
class Purge
{
public:
    using Progress = std::function<void(int percent)>;

    struct Result
    {
        QDate cutoff;
        int official = 0;
        int personal = 0;
    };

    explicit Purge(store::Tdm &dm);

    // Days answers are kept: the setting "dur_guarda", 15 when it is not a number or is below 1.
    int keepDays() const;
    QDate cutoff() const;

    // Leaves the request tables of the data module closed (the program is ending).
    Result run(const Progress &progress = {});

private:
    int purgeTable(bool personal, const QDate &cutoff);
    store::Tdm &m_dm;
};

} // namespace tav::queries
