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

// The same in two steps, for a caller that keeps a window responsive: ownSource makes the dataset's record
// source, still closed; opening it (its open()) reads the whole table to build the in-memory indexes and may
// run on a worker thread, since nothing else sees the source yet; ownDatasetOn then makes and opens the
// dataset over it (its list of rows; a caller that does this on a worker thread hands the dataset to its own
// thread with moveToThread before anything else sees it).
std::unique_ptr<RecordSource> ownSource(Tdm &dm, const QString &component);
std::unique_ptr<Dataset> ownDatasetOn(Tdm &dm, const QString &component, std::unique_ptr<RecordSource> source);

} // namespace tav::store
