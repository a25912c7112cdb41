#pragma once

#include "csvwriter.h"

#include <QString>
#include <vector>

class DataGrid;
class QPushButton;
class QWidget;

// Taking a grid's rows out of the program, for Excel or WPS: the windows' "导出…" button (a CSV file)
// and Ctrl+C (the selected rows, tab-separated, for pasting into a spreadsheet). Both write the grid
// as shown: its shown columns in their order on the screen and its rows in their order (as the user
// sorted them), with the cells as CsvWriter writes them. A grid showing an item model is written
// from its cells' values (DataGrid::ValueRole, else what they show) by the same rules.
namespace GridExport {

// "导出…" (object name cmdexport) for `grid`. The proposed file is named after `title` and today.
QPushButton* exportButton(DataGrid* grid, const QString& title, QWidget* parent);
// What the button does: every row of the result (a result still loading is first read to its end)
// into a CSV file that the user chooses. True when the file was written.
bool exportRows(DataGrid* grid, const QString& title, QWidget* parent);
// Ctrl+C: the selected rows, without headers.
void copySelection(DataGrid* grid);
// The columns the grid shows, in their order on the screen.
std::vector<CsvWriter::Column> shownColumns(const DataGrid* grid);

}  // namespace GridExport
