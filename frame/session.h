#pragma once

#include "connection.h"

class Store;

// The open household file, from the login window's load to its unload, and the store over it that
// the frame hands to each window it opens.
namespace App {

extern Connection conn;
Store& store();

// Opens conn on main.mdb unless it is already open: the file is checked, backed up and brought up
// to the program's version first (safekeeping.h). On failure shows
// "连接数据库错误，系统将不能正常运行" followed by what is wrong and what to do, and returns false.
bool openConn();
// Closes conn; a session that wrote anything is backed up.
void closeConn();

// Registers every window of the program (once).
void registerAllWindows();

}  // namespace App

// Each folder of windows registers its own.
void registerReferenceWindows();
void registerBooksWindows();
void registerReportsWindows();
