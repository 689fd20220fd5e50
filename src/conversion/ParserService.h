#pragma once

#include "ParserProtocol.h"

class CDRStringVector;

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// The parser process's side (quillmoor-parser): it shuts itself in, takes
// one request, parses the drawing with libcdr into the system's own
// generator, hands each drawn image to the application as it comes and
// sends the pages and the outcome.
namespace ParserService {

// The conversation as the parser holds it.
class Channel
{
public:
    virtual ~Channel() = default;
    virtual bool send(ParserProtocol::Frame kind, QByteArrayView payload) = 0;
    // The next frame, which must be of the kind; nothing when the other
    // side has gone or sent something else.
    virtual std::optional<QByteArray> receive(ParserProtocol::Frame kind) = 0;
};

// A channel over a connected stream socket.
class SocketChannel : public Channel
{
public:
    explicit SocketChannel(int socket)
        : m_socket(socket)
    {}
    bool send(ParserProtocol::Frame kind, QByteArrayView payload) override;
    std::optional<QByteArray> receive(ParserProtocol::Frame kind) override;

private:
    bool readExactly(char *into, qsizetype size);
    int m_socket;
};

// The descriptor of the parser's end of the socket.
constexpr int SocketDescriptor = 3;

// Before any byte of a drawing is read: the process keeps no descriptor
// but its socket and the standard ones, cannot create sockets (so it can
// reach no network, nor any local service), dumps no core, and gets at
// most the memory and processor time of the limits. False, with the
// reason, when any of it could not be put in place.
bool confine(const ParserLimits &limits, QString *why);

// Takes one request from the channel and answers it; the exit status.
int serve(Channel &channel);
// Parses the drawing and sends the images, pages and outcome.
int answer(Channel &channel, ParserProtocol::Format format, const QByteArray &path);
// Sends the pages, only of a parsed drawing (libcdr may have made some
// before it failed), and the outcome; the exit status.
int sendOutcome(Channel &channel, ParserProtocol::Outcome outcome, const CDRStringVector &pages);

// The parser program: reads the limits from the command line, confines
// itself, ends when the application lets go of its socket, and serves it.
int main(int argc, char *argv[], const std::function<int(Channel &)> &serve = ParserService::serve);

} // namespace ParserService
