#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class Store;

// The windows that show figures of the file follow what is written to it: every transaction
// committed on the household file (a posting, a correction, an import, a template or a member saved) is
// told once the event loop runs again, with the tables it changed; several commits in a row are
// told once. A restore replaces the file and brings the login back, which closes every window.
namespace FileChanges {

// Connects the household file to the notice (once; the frame does it when it opens
// the file).
void watch(Store& store);

// Runs `reload` after every commit that changed a table other than `ignored` ones, while `window`
// lives. A commit whose tables the engine did not name counts as a change of every table.
void follow(QObject* window, std::function<void()> reload, const QStringList& ignored = {});

// The tables no figure is made from: the settings and the two staging tables.
QStringList noFigures();

}  // namespace FileChanges
