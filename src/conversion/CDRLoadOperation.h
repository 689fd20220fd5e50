#pragma once

#include "foundation/Error.h"
#include "foundation/Operation.h"

#include <QObject>
#include <QPointer>

#include <memory>

class DrawingConverter;
class CDRLoadOperation;
class TemporaryFiles;

// What a load operation tells its document, always on the main thread while
// the conversion thread waits.
class CDRLoadOperationDelegate
{
public:
    virtual ~CDRLoadOperationDelegate() = default;
    virtual void cdrLoadOperationWillStart(CDRLoadOperation *operation) = 0;
    virtual void cdrLoadOperationDidFinish(CDRLoadOperation *operation) = 0;
    // error is null when the converter gave none.
    virtual void cdrLoadOperationDidFailWithError(const Error &error) = 0;
};

// Runs one conversion on the conversion queue and reports its start and its
// outcome to the document. The document is a QObject implementing
// CDRLoadOperationDelegate; once it is destroyed, or has cancelled the
// operation, it is told nothing more. A cancelled operation that has not
// started never runs; one that runs ends at once (its parser is killed).
//
// Every image file the conversion writes goes into the operation's list of
// temporary files, which the document shares: the list outlives the document,
// so files written after it went away are still removed.
class CDRLoadOperation : public Operation
{
public:
    CDRLoadOperation();

    QObject *document() const { return m_document; }
    void setDocument(QObject *document) { m_document = document; }
    const std::shared_ptr<DrawingConverter> &convertor() const { return m_convertor; }
    void setConvertor(std::shared_ptr<DrawingConverter> convertor)
    {
        m_convertor = std::move(convertor);
    }
    const std::shared_ptr<TemporaryFiles> &temporaryFiles() const { return m_temporaryFiles; }
    void setTemporaryFiles(std::shared_ptr<TemporaryFiles> files);

    void cancel() override;

protected:
    void main() override;

private:
    bool convert(Error *error);
    // Whether the document was there to be told.
    bool notifyDocument(const std::function<void(CDRLoadOperationDelegate *)> &call);

    QPointer<QObject> m_document;
    std::shared_ptr<DrawingConverter> m_convertor;
    std::shared_ptr<TemporaryFiles> m_temporaryFiles;
};
