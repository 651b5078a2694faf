#pragma once

#include "store/Dataset.h"

#include <QString>

#include <memory>

namespace tav::store {

class Tdm;

// A dataset of its own over one of the office's tables (same file, index order and columns as the data
// module's), for jobs that walk or update a table: moving it never moves the record a person has open in a
// window. It is opened and tells refusals through the data module's message box; no rule is bound to it.
std::unique_ptr<Dataset> openOwnDataset(Tdm &dm, const QString &component);

} // namespace tav::store
