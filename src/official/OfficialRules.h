#pragma once

#include "store/Event.h"

#include <QDate>
#include <QString>

namespace tav::store {
class Tdm;
class Dataset;
class Field;
} // namespace tav::store

namespace tav::official {

// The rules of official requests, their aliases, organisations and offence types, bound to the data
// module's tables so they hold whichever window or job saves a record.
class OfficialRules
{
public:
    // Binds every handler to the data module's tables; they stay bound while this object lives.
    explicit OfficialRules(store::Tdm &dm);
    OfficialRules(const OfficialRules &) = delete;
    OfficialRules &operator=(const OfficialRules &) = delete;

    void pedNewRecord(store::Dataset &ped);
    void pedC_ORGChange(store::Field &field);
    void pedAfterEdit(store::Dataset &ped);
    void pedBeforePost(store::Dataset &ped);
    void pedBeforeDelete(store::Dataset &ped);
    void BeforeDelete(store::Dataset &table); // organisations: the confirmation only
    void orgBeforePost(store::Dataset &org);
    void supBeforeInsert(store::Dataset &sup);
    void supBeforePost(store::Dataset &sup);
    void supBeforeDelete(store::Dataset &sup);
    bool tdelFilterRecord(store::Dataset &tdel);

    // The answer button's checks: false after their message when there is nothing to show. They need
    // no bound handlers, so windows call them directly.
    static bool officialAnswerAvailable(store::Tdm &dm);
    static bool personalAnswerAvailable(store::Tdm &dm);

    // A sent request that was not rejected cannot be changed, nor its aliases.
    static bool requestLocked(const store::Dataset &ped);

    static QString futureBirthMessage()
    {
        return QStringLiteral("La Fecha de Nacimiento no puede ser posterior a la fecha de hoy.\rVerifique la fecha "
                              "de nacimiento.");
    }
    static QString orgCodeFixedMessage()
    {
        return QStringLiteral("El código de un organismo grabado no se puede modificar:\rlos pedidos lo usan para "
                              "nombrarlo.");
    }
    static QString sentAliasMessage()
    {
        return QStringLiteral("No se puede modificar un pedido que ya ha sido enviado. Excepto que este rechazado");
    }

    // Whole years of 365 days from the date of birth to today (the office's way of counting ages).
    static int ageInYears(const QDate &birth, const QDate &today);

private:
    void copyOver(const QString &from, const QString &to) const;
    store::Tdm &m_dm;
    store::Subscriptions m_bindings;
};

} // namespace tav::official
