#pragma once

#include "DrawingConverter.h"
#include "ParserProcess.h"

// A converter whose file libcdr reads in a parser process of its own
// (ParserProcess), so that a file that crashes or hangs libcdr, or makes it
// eat memory, fails to convert and harms nothing else. The outcome of the
// parse comes back as libcdr gave it, so the failures keep the codes,
// messages and reasons of a parse inside the program; a parser that does
// not come to an end of its own fails with code 11 and a reason that says
// what became of it.
class ParserConverter : public DrawingConverter
{
public:
    const QString &filePath() const override { return m_filePath; }
    bool convertToSVG(Error *error) override;
    const QByteArray &svgData() const override { return m_svgData; }
    void cancel() override { m_parser.cancel(); }

    // Why the last conversion failed, in a sentence for logs; empty after
    // success and when libcdr only rejected the file.
    const QString &failureDetail() const { return m_failureDetail; }

protected:
    ParserConverter(QString filePath, ParserProtocol::Format format, ParserLimits limits);

private:
    QString m_filePath;
    ParserProtocol::Format m_format;
    QByteArray m_svgData;
    QString m_failureDetail;
    ParserProcess m_parser;
};
