#pragma once

#include <QString>

namespace zarvex {

// Where the window keeps "zarvex.cfg": the folder it was started in, unless
// that folder cannot be written or is the program's own install folder (a
// shortcut or a double-click in Program Files). Then the user's Documents,
// as the system knows it (on Windows FOLDERID_Documents, OneDrive included).
struct TWorkingFolderFacts {
  QString current;        // absolute
  QString programFolder;  // absolute
  bool currentWritable = true;
  QString documents;  // empty when the system names none
  bool documentsUsable = true;
};

// The folder to work in; the current one when nothing better exists.
QString ChooseWorkingFolder(const TWorkingFolderFacts& facts);

// Looks at this run's folders, makes the chosen one current, and returns it.
QString SettleWorkingFolder();

// Whether a program started in its own folder should keep its files
// elsewhere (ui/linux, ui/windows): Windows installs into Program Files,
// while a program run from its build folder on Linux is a developer's.
bool ProgramFolderHoldsNoUserFiles();
bool FolderNamesIgnoreCase();

// The same folder, in this system's way of comparing names.
bool SameFolder(const QString& a, const QString& b);

}  // namespace zarvex
