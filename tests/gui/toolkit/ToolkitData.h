#pragma once

#include "store/Dataset.h"
#include "store/MemorySource.h"

#include <QString>

#include <memory>

class QWidget;

namespace tav::test {

// A small request table (key C_PED) with three records, and a province code table, both in memory.
//   C_PED  X_APE1   C_PROV  F_NAC       M_ENVIADO  X_MARCA
//   10     GOMEZ    1       null        false      "S"
//   20     ÑANDU    9       06/05/2001  true       "N"
//   30     PEREZ    2       02/01/1980  null       null
std::unique_ptr<store::Dataset> makeRequests(bool withRows = true);
// Provinces in code order: 1 CAPITAL, 2 BUENOS AIRES, 9 MENDOZA (stored out of order).
std::unique_ptr<store::Dataset> makeProvinces();

// Types text key by key, also letters outside ASCII ("díaz"), which QTest::keyClicks cannot send.
void typeText(QWidget *widget, const QString &text);

} // namespace tav::test
