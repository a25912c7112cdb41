#pragma once

#include <QString>
#include <functional>

struct sqlite3;

// Keeping the books in step, on the file open in App::conn (and `raw`, a plain connection to it):
//   posting 10,000 staged records with the sync recording them, beside the same posting while it
//     does not record (and the posting stepped with the C API);
//   applying another computer's changeset of 10,000 records, beside inserting them with the C API;
//   applying a month of a family's changes (120 changesets: postings, corrections, deletions) as a
//     run at start does, beside the same writes stepped with the C API in one transaction.
// `folder` is the run's scratch folder. Leaves the file as it found it, the sync not set up.
using SyncMeasure = std::function<void(const QString& work, const std::function<double()>& project,
                                       const std::function<double()>& floor, const std::function<double()>& written,
                                       const QString& note)>;
void benchSync(sqlite3* raw, const QString& folder, int year, const SyncMeasure& measure);
