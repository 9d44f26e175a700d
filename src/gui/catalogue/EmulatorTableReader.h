#pragma once

#include "core/catalogue/EmulatorTable.h"

#include <QByteArray>
#include <QString>

// Reads the table of known emulators, a JSON file:
//   { "format": 1, "emulators": [ { "name", "programs", "flatpaks", "files" (optional), "install",
//     "parameters", "flatpakParameters" (optional), "extensions", "checked",
//     "systems": [ { "name", "description", "category", and optionally "parameters",
//     "flatpakParameters", "files", "extensions" } ] } ] }
// Every entry is checked whole: one with a missing, mistyped or unknown field is left out and a
// problem names it. A file that is missing, is not JSON or has another format gives no emulator.
class EmulatorTableReader
{
public:
    static constexpr int kFormat = 1;
    static constexpr const char *kFileName = "marlit/emulators.json";
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    static marlit::EmulatorTable parse(const QByteArray &json);
    // The table in the file at path (a resource's path too). Reading may wait on a slow disk:
    // not on the UI thread.
    static marlit::EmulatorTable read(const QString &path);

    // The table to use: "marlit/emulators.json" in the user's or the system's data folders (where
    // Marlit is installed), else the copy built into the program. Looks at the disk: not on the UI
    // thread either.
    static QString location();
};
