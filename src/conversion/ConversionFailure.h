#pragma once

#include "foundation/Error.h"

#include <QCoreApplication>
#include <QString>

// Tells the user what really happened when a drawing could not be
// converted: the file's name and what was found in it (missing, empty, not
// a CorelDRAW drawing, truncated, damaged, or of a version libcdr cannot
// read). The conversion's error codes and messages stay as they are; this
// text goes beside them, as the error's failure reason.
class ConversionFailure
{
    Q_DECLARE_TR_FUNCTIONS(ConversionFailure)
public:
    // Where the conversion stopped.
    enum class Stage
    {
        // libcdr does not take the file for a drawing it supports.
        Rejected,
        // libcdr took the file but could not parse it.
        ParseFailed,
        // The parse succeeded but gave no page.
        NoPages,
        // The parser process that ran libcdr crashed, ran past its time
        // limit or out of memory, or could not be started; the conversion
        // was cancelled.
        ParserCrashed,
        ParserTimedOut,
        ParserOutOfMemory,
        ParserUnavailable,
        Cancelled,
    };

    // Looks at the file again (only its first bytes, and a zip archive's
    // list of members) to name the cause, unless the stage names it.
    static QString reason(const QString &filePath, Stage stage);

    // Fills a conversion error (when asked for one): the conversion's code and
    // message, and beside them the reason for the file.
    static void setError(Error *error, int code, const QString &message, const QString &filePath,
                         Stage stage);

    // The product name of a CorelDRAW version number as libcdr counts them
    // (1400 is "CorelDRAW X4"); empty for numbers it has no name for.
    static QString versionName(unsigned version);
};
