#pragma once

#include <QString>

// Where the data files (MySites.txt, Items.txt, config.ini) live, and where the read-only files
// that ship with the program (the report templates, SampleSrc.txt, the user guide) are found.
//
// The data files stay beside the executable when that folder is writable, as in a build folder or
// an unpacked copy, or when it holds a file named "portable". An installed copy (one with
// ../share/quorvane beside its executable's folder) keeps them in the user's data folder even when
// it could write beside the executable, so that running it as root never writes under /usr.
// Otherwise they go to $XDG_DATA_HOME/quorvane, by default ~/.local/share/quorvane.

// What the choice depends on besides the file system: DataFolder() takes it from the process,
// tests make it up.
struct DataFolderInputs {
    QString executableFolder;  // with a trailing '/'
    bool executableFolderWritable = false;
    QString xdgDataHome;  // $XDG_DATA_HOME as set; empty when unset
    QString home;         // the user's home folder
};

// The inputs of the running process: AppDir() for the executable's folder.
DataFolderInputs CurrentDataFolderInputs();

// The folder for the data files, with a trailing '/'.
QString DataFolderFor(const DataFolderInputs& inputs);
QString DataFolder();

// Creates the folder, and any missing parent, with mode 0700, so that nobody else can read the
// links and the proxy password. A folder that exists is left as it is. False when it is not a
// folder afterwards; the first write to it then reports the cause.
bool MakeDataFolder(const QString& folder);

// The shipped file `name` from the first of: the data folder (a copy the user edited), beside the
// executable, and ../share/quorvane from the executable's folder. When none has it, the path in
// the data folder, so that a failure to read it names the place where the user can put one.
QString ShippedFileFor(const QString& name, const QString& dataFolder, const QString& executableFolder);
QString ShippedFile(const QString& name);
