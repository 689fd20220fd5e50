#pragma once

#include "foundation/Error.h"
#include "foundation/Operation.h"

#include <QObject>
#include <QPointer>

#include <memory>

class CDR2SVG;
class CDRLoadOperation;

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
// CDRLoadOperationDelegate; if it is destroyed meanwhile, its callbacks are
// skipped.
class CDRLoadOperation : public Operation
{
public:
    CDRLoadOperation() = default;

    QObject *document() const { return m_document; }
    void setDocument(QObject *document) { m_document = document; }
    const std::shared_ptr<CDR2SVG> &convertor() const { return m_convertor; }
    void setConvertor(std::shared_ptr<CDR2SVG> convertor) { m_convertor = std::move(convertor); }

protected:
    void main() override;

private:
    void notifyDocument(const std::function<void(CDRLoadOperationDelegate *)> &call);

    QPointer<QObject> m_document;
    std::shared_ptr<CDR2SVG> m_convertor;
};
