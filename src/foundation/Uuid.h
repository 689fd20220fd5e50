#pragma once

#include <QString>

// A new random UUID as 36 upper-case characters with hyphens, the form used
// for temporary files, log files, multipart boundaries and event identifiers.
QString uuidText();
